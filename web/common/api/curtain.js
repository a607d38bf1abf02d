// The recovery handler ("curtain"): one path, the command in "command", its value in "data" (or in
// "macAddress" / "date"), and the image uploaded as "file". Answers are JSON; "{ }" says nothing.
import {getJson, postJson} from "../client.js";

const PATH = "/curtain/";

/**
 * @typedef {{name: string, reason: string, console: string, checking: boolean, macAddress: string, flashSizeMb: number,
 *   selected: boolean, flashing: boolean, automaticDate: boolean, automaticMacAddress: boolean,
 *   keepDataPartition: boolean, imageSize: number}} PortDetails
 * @typedef {{currentOperationDescription?: string, currentOperationProgress?: number,
 *   overallOperationProgress?: number, userInfo?: string}} CommandData
 * @typedef {{command?: string, commandData?: CommandData}} RunAnswer
 * @typedef {{port: string, state: "idle" | "running" | "failed" | "done", step: string, current: number,
 *   overall: number, fetched: number, imageBytes: number, cause: string, reason: string}} RunRecord
 *   The last run as the server keeps it for every window; a failure stays until a new start or dismissRun.
 * @typedef {{ports: PortDetails[], run: RunRecord | null, addressProblem: string}} RecoveryState
 */

/** @param {string} command @param {Record<string, any>} [fields] */
function ask(command, fields = {}) {
    return getJson(PATH, {command, ...fields});
}

/**
 * Every serial port with what its reconnaissance found, the last run, and why the unit could not
 * reach the PC with the addresses held ("" when it can). @returns {Promise<RecoveryState>}
 */
export async function portDetails() {
    const answer = await ask("portDetails");
    return {
        ports: Array.isArray(answer?.ports) ? answer.ports : [],
        run: answer?.run?.state ? answer.run : null,
        addressProblem: typeof answer?.addressProblem === "string" ? answer.addressProblem : "",
    };
}

/** @param {string} name */
export const selectPort = name => ask("portSelected", {data: name});
export const checkPorts = () => ask("checkPorts");

/** @returns {Promise<{serverAddress?: string, centralUnitAddress?: string}>} */
export const addresses = () => ask("send_server_address");
/** @param {string} address */
export const setServerAddress = address => ask("server_address", {data: address});
/** @param {string} address */
export const setUnitAddress = address => ask("central_unit_address", {data: address});

/** The three settings by their command words; `on` means automatic, or keep. */
export const SETTINGS = /** @type {const} */ ({
    automaticDate: "settingsAutomaticDate",
    automaticMacAddress: "settingsAutomaticMacAddress",
    keepDataPartition: "settingsKeepDataPartition",
});
/** @param {keyof typeof SETTINGS} setting @param {boolean} on */
export const setSetting = (setting, on) => ask(SETTINGS[setting], {data: on ? "1" : "0"});

/** The image for the selected port (and, while the unit asks for one, the answer to that). */
export const uploadImage = (/** @type {File} */ file) => postJson(PATH, {}, {file});

export const clearStatus = () => ask("clearStatus");
/** Lets the last run's outcome go, in every window. */
export const dismissRun = () => ask("dismissRun");
/** The run's state, and its steps: asks for the image, starts, then reports. @returns {Promise<RunAnswer>} */
export const settingsReady = () => ask("settings_ready");
/** @param {string} mac */
export const answerMac = mac => ask("mac_address", {macAddress: mac});
/** @param {string} date YYYY-MM-DD hh:mm */
export const answerDate = date => ask("date", {date});
