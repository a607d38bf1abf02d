// The one HTTP client of the pages: it knows how the server's handlers answer (JSON with "status"
// and "description", a daemon error page, or nothing at all when the server is gone) and turns each
// failure into an error that says what happened. The handlers' own URLs live beside it, in api/.

/** A command that reached the server and failed; `message` is the server's own description. */
export class ServerError extends Error {
    /** @param {string} message @param {number} [status] */
    constructor(message, status = 200) {
        super(message);
        this.name = "ServerError";
        this.status = status;
    }
}

/** The server did not answer at all. */
export class ServerGone extends ServerError {
    constructor() {
        super("The server does not answer. It is being asked again; what you entered is kept.", 0);
        this.name = "ServerGone";
    }
}

const listeners = new Set();
let gone = false;
let retryTimer = 0;
const RETRY_MS = 2000;

/** Calls `listener(isGone)` whenever the server goes or comes back; returns the unsubscribe. */
export function onServerState(listener) {
    listeners.add(listener);
    return () => listeners.delete(listener);
}

function setGone(value) {
    if (gone === value) return;
    gone = value;
    for (const listener of listeners) listener(gone);
    if (gone) scheduleRetry();
}

function scheduleRetry() {
    clearTimeout(retryTimer);
    retryTimer = setTimeout(async () => {
        try {
            const reply = await fetch("/stavenorVersion", {cache: "no-store"});
            if (reply.ok) return setGone(false);
        } catch (e) { /* still gone */ }
        scheduleRetry();
    }, RETRY_MS);
}

/**
 * The URL of a server path with its parameters.
 * @param {string} path @param {Record<string, any>} [params]
 */
export function url(path, params) {
    const query = params ? new URLSearchParams(toStrings(params)).toString() : "";
    return query ? `${path}?${query}` : path;
}

/** @param {Record<string, any>} params */
function toStrings(params) {
    /** @type {Record<string, string>} */
    const out = {};
    for (const [key, value] of Object.entries(params)) {
        if (value === undefined || value === null) continue;
        out[key] = typeof value === "boolean" ? (value ? "1" : "0") : String(value);
    }
    return out;
}

/**
 * Sends one request; resolves to the reply once it answered 200, else throws a ServerError.
 * @param {string} path @param {RequestInit} [init]
 */
export async function send(path, init) {
    return answered(() => fetch(path, {cache: "no-store", ...init}));
}

/** The reply of `request()` once it answered 200, else a ServerError. @param {() => Promise<Response>} request */
async function answered(request) {
    let reply;
    try {
        reply = await request();
    } catch (e) {
        if (e instanceof DOMException && e.name === "AbortError") throw e;
        setGone(true);
        throw new ServerGone();
    }
    setGone(false);
    if (!reply.ok) throw new ServerError(await describeFailure(reply), reply.status);
    return reply;
}

/**
 * A POST whose body is followed as it leaves: `onProgress(percent)`. (fetch cannot tell that.)
 * @param {string} path @param {FormData} body @param {(percent: number) => void} onProgress
 * @returns {Promise<Response>}
 */
function postFollowed(path, body, onProgress) {
    return new Promise((resolve, reject) => {
        const request = new XMLHttpRequest();
        request.open("POST", path);
        request.responseType = "blob";
        request.upload.onprogress = e => {
            if (e.lengthComputable) onProgress(Math.floor(100 * e.loaded / e.total));
        };
        request.onload = () => resolve(new Response(request.response, {status: request.status, statusText: request.statusText}));
        request.onerror = () => reject(new TypeError("the request did not reach the server"));
        request.send(body);
    });
}

/** @param {Response} reply */
async function describeFailure(reply) {
    const text = (await reply.text()).trim();
    const parsed = parseJson(text);
    if (parsed && typeof parsed.description === "string") return parsed.description;
    // A daemon error page: its text without the markup, which is never inserted as HTML.
    const plain = new DOMParser().parseFromString(text, "text/html").body?.textContent?.trim();
    return plain || `the server answered ${reply.status} ${reply.statusText}`.trim();
}

/** @param {string} text */
function parseJson(text) {
    try {
        return JSON.parse(text);
    } catch (e) {
        return undefined;
    }
}

/**
 * The reply's JSON. An answer {"status": "error"} throws its description; an empty answer is null.
 * @param {Response} reply
 */
export async function readJson(reply) {
    const text = await reply.text();
    if (!text.trim()) return null;
    const parsed = parseJson(text);
    if (parsed === undefined) throw new ServerError(`the server's answer is not JSON: ${text.slice(0, 200)}`);
    if (parsed && parsed.status === "error")
        throw new ServerError(String(parsed.description ?? "the server reported an error without a description"));
    return parsed;
}

/**
 * GET with parameters, answered with JSON.
 * @param {string} path @param {Record<string, any>} [params] @param {AbortSignal} [signal]
 */
export async function getJson(path, params, signal) {
    return readJson(await send(url(path, params), {signal}));
}

/**
 * POST of form fields and files as multipart form data, answered with JSON. `onProgress(percent)`,
 * when given, follows the upload.
 * @param {string} path @param {Record<string, any>} fields @param {Record<string, File>} [files]
 * @param {(percent: number) => void} [onProgress]
 */
export async function postJson(path, fields, files = {}, onProgress = undefined) {
    const form = new FormData();
    for (const [key, value] of Object.entries(toStrings(fields))) form.append(key, value);
    for (const [key, file] of Object.entries(files)) form.append(key, file, file.name);
    if (onProgress) return readJson(await answered(() => postFollowed(path, form, onProgress)));
    return readJson(await send(path, {method: "POST", body: form}));
}

/**
 * GET of a plain text answer.
 * @param {string} path @param {Record<string, any>} [params]
 */
export async function getText(path, params) {
    return (await send(url(path, params))).text();
}

/** Whether the reply is a file offered for download. @param {Response} reply */
export function isAttachment(reply) {
    return /^attachment/i.test(reply.headers.get("Content-Disposition") || "");
}

/**
 * Has the browser, or the control centre with its save dialog, fetch `target` as a download. A
 * download link, not a navigation: the page is not left, so nothing asks about unsaved work.
 * @param {string} target
 */
export function offerDownload(target) {
    const link = document.createElement("a");
    link.href = target;
    link.download = "";
    link.hidden = true;
    document.body.append(link);
    link.click();
    link.remove();
}

/**
 * Downloads what the server answers as an attachment. The reply is asked for once to see that it is
 * one (an error is thrown, never saved as a file); it is then fetched again as a download, which is
 * what the browser or the control centre offers to save.
 * @param {string} path @param {Record<string, any>} [params]
 */
export async function download(path, params) {
    const target = url(path, params);
    const reply = await send(target);
    if (!isAttachment(reply)) {
        await readJson(reply);
        throw new ServerError("the server offered nothing to download");
    }
    await reply.body?.cancel();
    offerDownload(target);
}
