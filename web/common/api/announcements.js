// The configuration store's commands for the audio set-up: the announcement repository (WAV files
// by language, on the server's disk) and the translations of the texts into each language.
import {getJson, postJson} from "../client.js";
import {insertRow, savepoint, updateRow} from "./tuna.js";

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

/**
 * Uploads a WAV file as an announcement of `language`, named like the file up to its first dot;
 * a file of that name in that language is replaced.
 * @param {string} language @param {File} file
 */
export function uploadAnnouncement(language, file) {
    return postJson(REPOSITORY, {command: "new_file", code: language}, {file});
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
 * Sets the translation of `text` into `language`, after a savepoint so that Undo takes back just
 * this change. Resolves to the translation's id (new when the text had none in this language).
 * @param {{text: string, language: string, translation: string, id: string}} change
 * @returns {Promise<string>}
 */
export async function saveTranslation({text, language, translation, id}) {
    await savepoint();
    const row = {name: text, translation, languageId: language};
    if (id) {
        await updateRow(TABLE, {id, ...row});
        return id;
    }
    const inserted = await insertRow(TABLE, row);
    if (!inserted) throw new Error("the server did not say which id the translation got");
    return inserted;
}
