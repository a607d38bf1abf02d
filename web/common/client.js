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

const GONE_WORDS = "The server does not answer. It is being asked again; what is typed here is kept.";

/** Whether `message` says that the server did not answer: it ends with the server's next answer. @param {string} message */
export const saysGone = message => message === GONE_WORDS;

/** The server did not answer at all. */
export class ServerGone extends ServerError {
    constructor() {
        super(GONE_WORDS, 0);
        this.name = "ServerGone";
    }
}

/**
 * @typedef {{gone: boolean, restarted: boolean, revision: number}} ServerState
 * `gone`: the last request got no answer. `restarted`: the server that answers now is another run
 * than the one the page first talked to, so whatever that one held and did not save is gone.
 * `revision`: the configuration store's revision in the latest answer; it grows with every change,
 * whichever window made it.
 */

const listeners = new Set();
let gone = false;
let retryTimer = 0;
const RETRY_MS = 2000;
// Every answer carries the token that the server made when it started; another token, another run.
const START_HEADER = "X-Server-Start";
let startToken = "";
let restarts = 0;
// The store's revision as the latest answer gave it.
const REVISION_HEADER = "X-Store-Revision";
let revision = 0;
// This window among the pages on the server: the store tells each window which changes were not its own.
export const WINDOW = Math.random().toString(36).slice(2, 12);
const WINDOW_HEADER = "X-Window";

/**
 * Calls `listener(state)` whenever the server goes, comes back, or turns out to have restarted;
 * returns the unsubscribe.
 * @param {(state: ServerState & {restarts: number}) => void} listener
 */
export function onServerState(listener) {
    listeners.add(listener);
    return () => listeners.delete(listener);
}

function tell() {
    for (const listener of listeners) listener({gone, restarted: restarts > 0, restarts, revision});
}

function setGone(/** @type {boolean} */ value) {
    if (gone === value) return;
    gone = value;
    tell();
    if (gone) scheduleRetry();
}

/**
 * Notes the run that answered and the store's revision; a new run, or another revision, is told
 * before the reply is handed on. @param {Response} reply
 */
function noteStart(reply) {
    const token = reply.headers.get(START_HEADER) || "";
    if (!token) return;
    const stored = Number(reply.headers.get(REVISION_HEADER) || 0);
    if (!startToken) startToken = token;
    if (token !== startToken) {
        startToken = token;
        restarts++;
        revision = stored;
        tell();
        return;
    }
    if (stored === revision) return;
    revision = stored;
    tell();
}

/** The token of the server run that answered last: a change read from it carries it. */
export function serverRun() {
    return startToken;
}

/** How many times the server restarted since this page was opened. */
export function serverRestarts() {
    return restarts;
}

function scheduleRetry() {
    clearTimeout(retryTimer);
    retryTimer = setTimeout(async () => {
        try {
            const reply = await fetch("/stavenorVersion", {cache: "no-store", headers: {[WINDOW_HEADER]: WINDOW}});
            if (reply.ok) {
                noteStart(reply);
                return setGone(false);
            }
        } catch (e) { /* still gone */ }
        scheduleRetry();
    }, RETRY_MS);
}

// While the page is shown, the server is asked this often whether it is there and still the same run,
// so that a stop or a restart is told even when the user does nothing.
const HEARTBEAT_MS = 5000;
let watching = false;

/** Starts asking the server now and then (once for the page); the answers go to onServerState. */
export function watchServer() {
    if (watching) return;
    watching = true;
    setInterval(() => {
        if (gone || document.visibilityState !== "visible") return;
        send("/stavenorVersion").then(reply => reply.body?.cancel(), () => undefined);
    }, HEARTBEAT_MS);
}

/** Whether the page runs in the control centre, whose save dialog answers the configuration's downloads. */
export function inControlCentre() {
    return navigator.userAgent.includes("XJE/");
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
    return answered(() => fetch(path, {cache: "no-store", ...init, headers: {...init?.headers, [WINDOW_HEADER]: WINDOW}}));
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
    noteStart(reply);
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
        request.setRequestHeader(WINDOW_HEADER, WINDOW);
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

/** The file name that an attachment's reply offers, or "". @param {Response} reply */
export function attachmentName(reply) {
    return /filename="([^"]*)"/.exec(reply.headers.get("Content-Disposition") || "")?.[1] ?? "";
}

/**
 * Has the browser, or the control centre with its save dialog, fetch `target` as a download. A
 * download link, not a navigation: the page is not left, so nothing asks about unsaved work.
 * @param {string} target @param {string} [name]
 */
export function offerDownload(target, name = "") {
    const link = document.createElement("a");
    link.href = target;
    link.download = name;
    link.hidden = true;
    document.body.append(link);
    link.click();
    link.remove();
}

/**
 * Downloads what the server answers as an attachment, fetched once: an error is thrown, never saved
 * as a file; the file's content is then handed to the browser (or the control centre) to save.
 * Resolves to the file's name.
 * @param {string} path @param {Record<string, any>} [params]
 */
export async function download(path, params) {
    const reply = await send(url(path, params));
    if (!isAttachment(reply)) {
        await readJson(reply);
        throw new ServerError("the server offered nothing to download");
    }
    const name = attachmentName(reply);
    const address = URL.createObjectURL(await reply.blob());
    offerDownload(address, name);
    // The download has taken the content once the click is handled.
    setTimeout(() => URL.revokeObjectURL(address), 60000);
    return name;
}
