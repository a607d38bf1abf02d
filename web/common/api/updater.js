// The "updater" handler: the units on the network, jobs on them, their files and the page's log.
import {download, getJson, postJson, send, url, ServerError} from "../client.js";

const BASE = "/updater/";

/** @param {string[] | string} units */
function macs(units) {
    return Array.isArray(units) ? units.join(",") : units;
}

/**
 * The unit's last job as the server keeps it, until the next job on the unit: what was asked
 * (`params` without a password) and sent, the starting page's `key` for it, and how it ended
 * (`state` "running", "success" or "error", with the result `code` and the `reason` in words).
 * @typedef {{number: number, type: string, params: Record<string, string>, sent: string, key: string,
 *            state: string, started: number, ended?: number, code?: number, reason?: string}} UnitJobRecord
 * @typedef {{macAddress: string, status: string, beardLength: number, protocolVersion: number, type: string,
 *            cubCapable: boolean, bricked: boolean, lastJob?: UnitJobRecord}} UnitRecord
 */

/** Every unit the server holds. @param {AbortSignal} [signal] @returns {Promise<UnitRecord[]>} */
export async function unitList(signal) {
    const reply = await getJson(BASE + "breltList.json", undefined, signal);
    return reply?.breltList ?? [];
}

/** What the server knows of one unit (the "breltInfo" record). @param {string} mac */
export async function unitInfo(mac) {
    const reply = await getJson(BASE + "brelt.json", {macAddress: mac});
    if (!reply?.breltInfo) throw new ServerError("the server sent nothing about this unit");
    return reply.breltInfo;
}

/**
 * Starts a job on units. Resolves to one record per unit ({macAddress, status, description?}); a
 * request the server refuses as a whole throws its reason. `sent` names what the job sends and
 * `key` is the page's name for the job: both are kept in the units' job records.
 * @param {string} type @param {string[]} units @param {Record<string, any>} [params] @param {string} [sent]
 * @param {string} [key]
 * @returns {Promise<{macAddress: string, status: string, description?: string}[]>}
 */
export async function startJob(type, units, params = {}, sent = "", key = "") {
    const reply = await getJson(BASE + "action.json",
                                {...params, ...(sent ? {sent} : {}), ...(key ? {jobKey: key} : {}), type, macAddress: macs(units)});
    return reply?.statusList ?? [];
}

/**
 * Where a unit's job stands: {status: "progress", current, overall, description}, {status: "success"}
 * or {status: "error", code, description, reason}: `reason` says in words why the program failed.
 * An error without a code is not the program's result (no unit, a busy server). Only a refused
 * request throws.
 * @param {string} mac @param {AbortSignal} [signal]
 */
export async function jobProgress(mac, signal) {
    const text = await (await send(url(BASE + "breltProgress.json", {macAddress: mac}), {signal})).text();
    try {
        return JSON.parse(text);
    } catch (e) {
        throw new ServerError(`the server's answer is not JSON: ${text.slice(0, 200)}`);
    }
}

/** @param {string} mac @returns {Promise<string[]>} */
export async function unitRoles(mac) {
    return (await getJson(BASE + "breltRoles.json", {macAddress: mac}))?.roleList ?? [];
}

/**
 * @typedef {{name: string, displayName: string, version: string, description: string,
 *            configurable: boolean, removable: boolean}} UnitModule
 * @param {string} mac @returns {Promise<UnitModule[]>}
 */
export async function unitModules(mac) {
    return (await getJson(BASE + "breltModules.json", {macAddress: mac}))?.moduleList ?? [];
}

/**
 * The entries of a directory on the unit.
 * @param {string} mac @param {string} path @returns {Promise<{name: string, directory: boolean}[]>}
 */
export async function listDirectory(mac, path) {
    return (await getJson(BASE + "modLsDir.json", {macAddress: mac, path}))?.contents ?? [];
}

/** @param {string} mac @param {string} path @param {string} fileName */
export async function removeFile(mac, path, fileName) {
    await getJson(BASE + "modRmFile.json", {macAddress: mac, path, fileName});
}

/** Fetches a file from the unit, then downloads it from the server. @param {string} mac @param {string} filePath */
export async function downloadUnitFile(mac, filePath) {
    await getJson(BASE + "modDownload.json", {macAddress: mac, filePath});
    await download(BASE + "passModuleFile.json", {macAddress: mac});
}

/** Downloads the configuration that a "configurationDownload" job fetched. @param {string} mac */
export async function downloadFetchedConfiguration(mac) {
    await download(BASE + "downloadConfigurationFile.json", {macAddress: mac});
}

/**
 * Sends a module file into a directory of the unit and installs it there.
 * @param {string} mac @param {string} path @param {File} file
 */
export async function uploadModuleFile(mac, path, file) {
    await postJson(BASE + "fileUploaded.json", {path, macAddress: mac}, {fileUploaded: file});
}

/**
 * @typedef {{status?: string, name?: string, date?: string, organization?: string, version?: string,
 *            type?: string, roles?: {name: string, type: string}[], updaterName?: string,
 *            updaterPath?: string}} FileDescription
 */

/**
 * Uploads a file for one of the page's buttons; the server keeps it and describes it.
 * `type` is "configuration", "dis" or "module"; `realPath` is the file's path on this machine, when known.
 * A file that no unit could take (missing, empty, too big) is refused with the reason, and the
 * server keeps nothing of it. `onProgress(percent)` follows the upload.
 * @param {string} buttonId @param {string} type @param {File} file @param {string} realPath
 * @param {(percent: number) => void} [onProgress]
 * @returns {Promise<FileDescription>}
 */
export async function sendButtonFile(buttonId, type, file, realPath, onProgress) {
    return postJson(BASE + "fileSent.json", {type, buttonId, updaterName: file.name, updaterPath: realPath},
                    {fileSent: file}, onProgress);
}

/** What the server keeps of a button's last upload. @param {string} buttonId @returns {Promise<FileDescription>} */
export async function buttonData(buttonId) {
    return getJson(BASE + "buttonData.json", {buttonId});
}

/** Stores the page's log on the server, then downloads it. @param {string} text */
export async function downloadLog(text) {
    await postJson(BASE + "prepareLog.json", {logEntries: text});
    await download(BASE + "downloadLog.json");
}
