// The configuration store's commands ("tuna" handler). Rows travel as objects keyed by column.
import {ServerError, attachmentName, download, getJson, offerDownload, postJson, readJson, send, url} from "../client.js";

const BASE = "/tuna";

/**
 * Rows of a table with the given columns, narrowed by `filters` (column -> exact value).
 * The store answers one array per row, its entries in the reverse order of the parameters.
 * @param {string} table @param {string[]} columns @param {Record<string, string>} [filters]
 * @returns {Promise<Record<string, string>[]>}
 */
export async function listRows(table, columns, filters = {}) {
    const names = [...new Set(["id", ...columns, ...Object.keys(filters)])];
    const params = new URLSearchParams();
    for (const name of names) params.append(name, filters[name] ?? "");
    const reply = await send(`${BASE}/list/${encodeURIComponent(table)}?${params}`);
    const rows = /** @type {string[][] | null} */ (await readJson(reply)) || [];
    const order = [...names].reverse();
    return rows.map(entries => Object.fromEntries(order.map((name, i) => [name, entries[i] ?? ""])));
}

/**
 * Every column of one row, or null when the store has no row with that id.
 * @param {string} table @param {string} id
 * @returns {Promise<Record<string, string> | null>}
 */
export async function getRow(table, id) {
    try {
        return await getJson(`${BASE}/list/${encodeURIComponent(table)}.json`, {id});
    } catch (e) {
        if (e instanceof ServerError && e.status === 404) return null;
        throw e;
    }
}

/**
 * What a change read, so that the store refuses it where that is no longer true: `run`, the server
 * run it was read from (serverRun()); `row`, the row's columns as read.
 * @typedef {{run?: string, row?: Record<string, string>}} Read
 */

/** The request fields that carry what a change read. @param {Read} read */
function readFields({run, row} = {}) {
    /** @type {Record<string, string>} */
    const fields = run ? {run} : {};
    for (const [column, value] of Object.entries(row ?? {})) fields[`read.${column}`] = value;
    return fields;
}

/**
 * Adds a row; resolves to the new row's id.
 * @param {string} table @param {Record<string, string>} values @param {Read} [read]
 */
export async function insertRow(table, values, read) {
    const {id, ...columns} = values;
    // The store makes a row only for a request that names it, also in a table without names.
    const reply = await postJson(`${BASE}/insert/${encodeURIComponent(table)}.json`, {name: "", ...columns, ...readFields(read)});
    return String(reply?.id ?? "");
}

/**
 * Rewrites a row. The store empties every column that the request leaves out, so `values` must
 * carry the whole row. A "collision detection" answer throws its words; so does a row that no
 * longer holds what `read` says.
 * @param {string} table @param {Record<string, string>} values @param {Read} [read]
 */
export async function updateRow(table, values, read) {
    await postJson(`${BASE}/update/${encodeURIComponent(table)}.json`, {...values, ...readFields(read)});
}

/** @param {string} table @param {string} id @param {Read} [read] */
export async function deleteRow(table, id, read) {
    await postJson(`${BASE}/delete/${encodeURIComponent(table)}.json`, {id, ...readFields(read)});
}

/**
 * A savepoint that an undo of its step steps back to; Undo names it by `label` in every window.
 * Resolves to the step's name.
 * @param {string} label @returns {Promise<string>}
 */
export async function savepoint(label) {
    return String((await getJson(`${BASE}/save.json`, {label}))?.step ?? "");
}

/** Steps back to the savepoint of `step`; the store refuses when its last step is another. @param {string} step */
export async function undo(step) {
    await getJson(`${BASE}/undo.json`, {step});
}

/**
 * @typedef {{revision: number, unsaved: number, steps: string[], undoStep: string, complete: boolean,
 *            changes: {revision: number, words: string, window: string, saved: boolean}[]}} StoreState
 * What every window agrees on: the revision, the changes not saved to a file, the labels of the undo
 * steps (oldest first) and the name of the last, and the changes made after `since`.
 */

/** @param {number} since @returns {Promise<StoreState>} */
export async function storeState(since) {
    const reply = await getJson(`${BASE}/state.json`, {since});
    return {revision: Number(reply?.revision) || 0, unsaved: Number(reply?.unsaved) || 0, steps: reply?.steps ?? [],
        undoStep: String(reply?.undoStep ?? ""), complete: Boolean(reply?.complete), changes: reply?.changes ?? []};
}

/** Lets the store remove the rows that cannot be exported. */
export async function validate() {
    await getJson(`${BASE}/validate.json`);
}

/** Downloads the SIP phone book of every central unit. */
export function exportSipPhonebook() {
    return download(`${BASE}/exportSipPhonebook`);
}

const FILE = `${BASE}/configurationFile.json`;
// The configuration as a download, whether or not a file is loaded.
const SAVE_AS = {command: "save_file", saveAs: ""};

/**
 * A file command's reply, or null when it answered nothing: a command that writes a file or starts
 * a new configuration answers the store's "not found" page when it succeeds, a failure is JSON.
 * @param {Record<string, string>} params
 */
async function fileCommand(params) {
    try {
        return await send(url(FILE, params));
    } catch (e) {
        if (e instanceof ServerError && e.status === 404) return null;
        throw e;
    }
}

/** Starts a new configuration from the installation's template. */
export async function newFile() {
    const reply = await fileCommand({command: "new_file"});
    if (reply) await readJson(reply);
}

/**
 * Uploads a configuration file and loads it. `realPath` (the file's full path, known only in the
 * control centre) becomes the file that Save writes back.
 * @param {File} file @param {string} realPath
 */
export async function loadFile(file, realPath) {
    await postJson(FILE, {command: "load_file", fileName: file.name, filePath: realPath || undefined}, {file});
}

/**
 * @typedef {{file: string, written: number}} FileState
 * `file`: the file that Save writes back ("" when there is none); `written`: how many files of the
 * user's the store has written since it started.
 */

/** @returns {Promise<FileState>} */
export async function fileState() {
    const reply = await getJson(FILE, {command: "file_state"});
    return {file: String(reply?.file ?? ""), written: Number(reply?.written) || 0};
}

/**
 * The user says that the browser kept the download taken at `revision`: the store counts it as saved
 * unless it changed since.
 * @param {number} revision
 */
export async function downloadKept(revision) {
    await getJson(FILE, {command: "download_kept", revision});
}

/** Save: writes the configuration back to the file the store knows (see fileState). */
export async function saveFile() {
    const reply = await fileCommand({command: "save_file"});
    if (reply) await readJson(reply);
}

/**
 * Save as in a browser: the configuration as a download, fetched once. Resolves to its file name.
 * @returns {Promise<string>}
 */
export function downloadConfiguration() {
    return download(FILE, SAVE_AS);
}

/**
 * Save as in the control centre: it answers this download with its save dialog and has the store
 * write the file chosen there ("save_as"); the page learns of that through fileState.
 */
export function offerConfigurationToSave() {
    offerDownload(url(FILE, SAVE_AS));
}

/** The configuration's name, as the store keeps it. */
export async function configurationName() {
    const rows = await listRows("Configuration", ["name"]);
    return rows.length ? rows[rows.length - 1].name : "";
}

/**
 * The configuration in use as a file, with the name the store offers it under: what Save as would
 * download. The updater sends it to units.
 * @returns {Promise<File>}
 */
export async function configurationAsFile() {
    const reply = await send(url(FILE, SAVE_AS));
    const name = attachmentName(reply);
    if (!name) {
        await readJson(reply);
        throw new ServerError("the configuration store offered no configuration");
    }
    return new File([await reply.blob()], name, {type: "text/plain"});
}
