// The jobs a user can start on units, described once: the form, the confirmation and the request
// are all drawn from these entries.

/**
 * @typedef {{name: string, label: string, kind: "text" | "password" | "role", required?: boolean}} Field
 * @typedef {{type: string, label: string, fields?: Field[], file?: FileSlot, confirm?: string,
 *            after?: "downloadConfiguration"}} Action
 * @typedef {{buttonId: string, kind: "conf" | "dis" | "mod", uploadType: string, label: string}} FileSlot
 */

/** @type {Record<string, FileSlot>} */
export const FILE_SLOTS = {
    configuration: {buttonId: "configuration", kind: "conf", uploadType: "configuration", label: "configuration file"},
    dis: {buttonId: "dis", kind: "dis", uploadType: "dis", label: "firmware file"},
    module: {buttonId: "module", kind: "mod", uploadType: "module", label: "module file"},
};

const password = /** @type {Field} */ ({name: "password", label: "Password", kind: "password"});

/** @type {Action[]} */
export const ACTIONS = [
    {type: "reboot", label: "Reboot"},
    {type: "take", label: "Take control"},
    {type: "release", label: "Release control"},
    {type: "lock", label: "Lock", fields: [password]},
    {type: "unlock", label: "Unlock", fields: [password]},
    {type: "enable", label: "Enable", fields: [password]},
    {type: "configurationUpload", label: "Upload configuration", file: FILE_SLOTS.configuration,
     fields: [{name: "role", label: "Role", kind: "role"}]},
    {type: "configurationDownload", label: "Fetch configuration", after: "downloadConfiguration"},
    {type: "disUpload", label: "Upload firmware", file: FILE_SLOTS.dis},
    {type: "moduleUpload", label: "Add module", file: FILE_SLOTS.module},
    {type: "moduleUpgrade", label: "Upgrade module", file: FILE_SLOTS.module},
    {type: "moduleOverwrite", label: "Overwrite module", file: FILE_SLOTS.module},
    {type: "moduleRemove", label: "Remove module", fields: [{name: "name", label: "Module name", kind: "text", required: true}]},
    {type: "setRole", label: "Set role", fields: [{name: "role", label: "Role", kind: "text", required: true}]},
    {type: "setDescription", label: "Set description",
     fields: [{name: "description", label: "Description", kind: "text", required: true}]},
    {type: "announcementsUpload", label: "Upload announcements"},
    {type: "test", label: "Test",
     confirm: "The test loads the PC's test file into the unit's memory and flashes it. Run it?"},
    {type: "passwd", label: "Install password file",
     confirm: "This installs the PC's password file and its fixed firmware on the unit, replacing what the unit runs. Go on?"},
];

/** @param {string} type */
export function actionOf(type) {
    return ACTIONS.find(a => a.type === type);
}

/** The words for a job type in the page and its log. @param {string} type */
export function jobLabel(type) {
    return type ? actionOf(type)?.label ?? type : "Job started earlier";
}
