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
 * Adds a row; resolves to the new row's id.
 * @param {string} table @param {Record<string, string>} values
 */
export async function insertRow(table, values) {
    const {id, ...columns} = values;
    // The store makes a row only for a request that names it, also in a table without names.
    const reply = await postJson(`${BASE}/insert/${encodeURIComponent(table)}.json`, {name: "", ...columns});
    return String(reply?.id ?? "");
}

/**
 * Rewrites a row. The store empties every column that the request leaves out, so `values` must
 * carry the whole row. A "collision detection" answer throws its words.
 * @param {string} table @param {Record<string, string>} values
 */
export async function updateRow(table, values) {
    await postJson(`${BASE}/update/${encodeURIComponent(table)}.json`, values);
}

/** @param {string} table @param {string} id */
export async function deleteRow(table, id) {
    await postJson(`${BASE}/delete/${encodeURIComponent(table)}.json`, {id});
}

/** A savepoint that the next undo steps back to. */
export async function savepoint() {
    await getJson(`${BASE}/save.json`);
}

/** Steps back to the newest savepoint. */
export async function undo() {
    await getJson(`${BASE}/undo.json`);
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
