// The configuration store's commands for the audio set-up: the announcement repository (WAV files
// by language, on the server's disk) and the translations of the texts into each language.
import {ServerError, getJson, postJson} from "../client.js";
import {insertRow, updateRow} from "./tuna.js";

const REPOSITORY = "/tuna/globalAudioSetupAudioRepository.json";
const TRANSLATIONS = "/tuna/globalAudioSetupTranslations.json";
const TABLE = "globalAudioSetupTranslations";

/** The repository's files that serve every language. */
export const COMMON = "Common";

/** The installation's languages, by name. @returns {Promise<string[]>} */
export async function listLanguages() {
    const reply = await getJson("/tuna/list/globalOverviewLanguages.json");
    return (reply?.name ?? []).map(String);
}

/**
 * @typedef {{name: string, id: string, duration: number}} Announcement
 * `duration` in milliseconds.
 */

/**
 * The announcements of one language ("Common" for every language). The server names every
 * announcement of every language; those without a file in this one are left out.
 * @param {string} language @returns {Promise<Announcement[]>}
 */
export async function listAnnouncements(language) {
    const rows = (await getJson(REPOSITORY, {languageId: language})) ?? [];
    return rows.filter(([, id]) => id).map(([name, id, duration]) => ({name, id, duration: Number(duration) || 0}));
}

/** What the repository takes, in the words that a refusal names. */
export const ANNOUNCEMENT_RULE = "mono, 16-bit PCM or 8-bit µ-law, 8000 or 16000 Hz, at most 1 MiB";
const MAX_BYTES = 1024 * 1024;
const HEADER_BYTES = 44;
const PCM = 1;
const ULAW = 7;

/**
 * Why the repository would refuse `file`, read from its WAV header as the server reads it; "" when
 * it would take it. Checked before the upload starts.
 * @param {File} file @returns {Promise<string>}
 */
export async function announcementProblem(file) {
    const name = `"${file.name}"`;
    if (file.size > MAX_BYTES)
        return `${name} is larger than 1 MiB (${file.size.toLocaleString("en")} bytes): an announcement may be at most 1 MiB.`;
    const header = new DataView(await file.slice(0, HEADER_BYTES).arrayBuffer());
    const tag = (/** @type {number} */ at) => String.fromCharCode(...new Uint8Array(header.buffer, at, 4));
    if (header.byteLength < HEADER_BYTES || tag(0) !== "RIFF" || tag(8) !== "WAVE" || tag(12) !== "fmt ")
        return `${name} is not a WAV file: an announcement must be a WAV file, ${ANNOUNCEMENT_RULE}.`;
    const format = header.getUint16(20, true);
    const channels = header.getUint16(22, true);
    const rate = header.getUint32(24, true);
    const bits = header.getUint16(34, true);
    if (format !== PCM && format !== ULAW)
        return `${name} is neither PCM nor µ-law (its format is ${format}): an announcement must be ${ANNOUNCEMENT_RULE}.`;
    if (channels !== 1) return `${name} has ${channels} channels: an announcement must be mono.`;
    if (rate !== 8000 && rate !== 16000) return `${name} is sampled at ${rate} Hz: an announcement must be 8000 or 16000 Hz.`;
    if (format === PCM && bits !== 16) return `${name} is ${bits}-bit PCM: an announcement in PCM must be 16-bit.`;
    if (format === ULAW && bits !== 8) return `${name} is ${bits}-bit µ-law: an announcement in µ-law must be 8-bit.`;
    return "";
}

/** The repository's short refusals, said with the limit they stand for. */
const REFUSALS = {
    "file too large": "the file is larger than 1 MiB: an announcement may be at most 1 MiB",
    "not WAV file": `it is not a WAV file: an announcement must be a WAV file, ${ANNOUNCEMENT_RULE}`,
    "not pcm nor ulaw": `it is neither 16-bit PCM nor 8-bit µ-law: an announcement must be ${ANNOUNCEMENT_RULE}`,
    "not mono": "it is not mono: an announcement must be mono",
    "wrong sampling rate": "its sampling rate is neither 8000 nor 16000 Hz",
    "wrong bits per sample": "its bits per sample do not fit its format: 16-bit PCM or 8-bit µ-law",
};

/**
 * Uploads a WAV file as an announcement of `language`, named like the file up to its first dot;
 * a file of that name in that language is replaced. A file that the repository would refuse is
 * refused here, before anything is sent.
 * @param {string} language @param {File} file
 */
export async function uploadAnnouncement(language, file) {
    const problem = await announcementProblem(file);
    if (problem) throw new Error(problem);
    try {
        return await postJson(REPOSITORY, {command: "new_file", code: language}, {file});
    } catch (e) {
        const words = e instanceof ServerError ? REFUSALS[/** @type {keyof typeof REFUSALS} */ (e.message)] : undefined;
        if (words) throw new ServerError(`"${file.name}" is refused: ${words}.`, e.status);
        throw e;
    }
}

/** @param {string} language @param {string} name */
export function deleteAnnouncement(language, name) {
    return postJson(REPOSITORY, {command: "delete_file", code: language, name});
}

/**
 * @typedef {{text: string, translation: string, id: string}} Translation
 * `id` is empty while the text has no translation into the language.
 */

/** Every text with its translation into `language`. @param {string} language @returns {Promise<Translation[]>} */
export async function listTranslations(language) {
    const rows = (await getJson(TRANSLATIONS, {languageId: language})) ?? [];
    return rows.map(([text, translation, id]) => ({text, translation, id}));
}

/**
 * Sets the translation of `text` into `language`. Resolves to the translation's id (new when the
 * text had none in this language).
 * @param {{text: string, language: string, translation: string, id: string}} change
 * @returns {Promise<string>}
 */
export async function saveTranslation({text, language, translation, id}) {
    const row = {name: text, translation, languageId: language};
    if (id) {
        await updateRow(TABLE, {id, ...row});
        return id;
    }
    const inserted = await insertRow(TABLE, row);
    if (!inserted) throw new Error("the server did not say which id the translation got");
    return inserted;
}
