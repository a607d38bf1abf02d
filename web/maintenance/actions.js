// The jobs a user can start on units, described once: the form, the confirmation and the request
// are all drawn from these entries.

/**
 * @typedef {{name: string, label: string, kind: "text" | "password" | "role", required?: boolean}} Field
 * @typedef {{type: string, label: string, fields?: Field[], file?: FileSlot, replaces?: string,
 *            needs?: string, restarts?: boolean}} Action
 * `replaces`: what on the units the job replaces; the page asks before it starts such a job.
 * `needs`: the files that the job takes from the PC, said before it starts.
 * `restarts`: the unit restarts at the end of the job, and is back once it announces itself again.
 * @typedef {{buttonId: string, kind: "conf" | "dis" | "mod", uploadType: string, label: string}} FileSlot
 */

/** @type {Record<string, FileSlot>} */
export const FILE_SLOTS = {
    configuration: {buttonId: "configuration", kind: "conf", uploadType: "configuration", label: "configuration file"},
    dis: {buttonId: "dis", kind: "dis", uploadType: "dis", label: "firmware file"},
    module: {buttonId: "module", kind: "mod", uploadType: "module", label: "module file"},
};

// Where the server takes the files of the test and the password jobs from.
const TEST_FILE = "/tmp/test_file";
const PASSWORD_FILE = "shadow";
const PASSWORD_FIRMWARE = "XJ_dis_BRELT-SH4_2014-02c.dis";

const password = /** @type {Field} */ ({name: "password", label: "Password", kind: "password"});

/** @type {Action[]} */
export const ACTIONS = [
    {type: "reboot", label: "Reboot", restarts: true},
    {type: "take", label: "Take control"},
    {type: "release", label: "Release control"},
    {type: "lock", label: "Lock", fields: [password]},
    {type: "unlock", label: "Unlock", fields: [password]},
    {type: "enable", label: "Enable", fields: [password]},
    {type: "configurationUpload", label: "Upload configuration", file: FILE_SLOTS.configuration,
     fields: [{name: "role", label: "Role", kind: "role"}], replaces: "the running configuration"},
    {type: "configurationDownload", label: "Fetch configuration"},
    {type: "disUpload", label: "Upload firmware", file: FILE_SLOTS.dis, replaces: "the running firmware"},
    {type: "moduleUpload", label: "Add module", file: FILE_SLOTS.module, replaces: "the module's files", restarts: true},
    {type: "moduleUpgrade", label: "Upgrade module", file: FILE_SLOTS.module,
     replaces: "the module's files but its settings", restarts: true},
    {type: "moduleOverwrite", label: "Overwrite module", file: FILE_SLOTS.module, replaces: "the module's files", restarts: true},
    {type: "moduleRemove", label: "Remove module", fields: [{name: "name", label: "Module name", kind: "text", required: true}],
     replaces: "the module, which is removed", restarts: true},
    {type: "setRole", label: "Set role", fields: [{name: "role", label: "Role", kind: "text", required: true}]},
    {type: "setDescription", label: "Set description",
     fields: [{name: "description", label: "Description", kind: "text", required: true}]},
    {type: "announcementsUpload", label: "Upload announcements", replaces: "all announcements",
     needs: "the PC's announcement recordings (added under Audio set-up in the configuration)"},
    {type: "test", label: "Test", replaces: "the flash contents",
     needs: `the test file ${TEST_FILE}`},
    {type: "passwd", label: "Install password file", replaces: "the password file and the running firmware",
     needs: `the password file "${PASSWORD_FILE}" and the firmware "${PASSWORD_FIRMWARE}", both in the server's working folder`},
];

/** @param {string} type */
export function actionOf(type) {
    return ACTIONS.find(a => a.type === type);
}

/** The words for a job type in the page and its log. @param {string} type */
export function jobLabel(type) {
    return type ? actionOf(type)?.label ?? type : "Job started earlier";
}
