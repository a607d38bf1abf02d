// The one file chooser of the pages. The control centre reads "#uploadFilter" when a chooser opens
// (to filter its dialog by kind) and writes the chosen file's full path into "#uploadRealPath";
// both are attributes, and there is one of each on a page.

/** What a browser's own chooser offers for each kind the control centre knows. */
const ACCEPT = {
    mod: ".mod",
    dis: ".dis",
    bin: ".bin",
    conf: ".conf",
    wav: ".wav,audio/wav",
    img: ".bmp,.jpg,.jpeg,.png",
};

// The control centre writes the path just before it hands the file to the page; a browser never does.
const REAL_PATH_WAIT_MS = 300;

/** @type {((choice: Chosen | null) => void) | null} */
let pending = null;

/**
 * @typedef {{file: File, realPath: string}} Chosen
 * `realPath` is the file's full path on this machine when the control centre chose it, else "".
 */

/** @param {string} id */
function element(id) {
    const found = /** @type {HTMLInputElement | null} */ (document.getElementById(id));
    if (!found) throw new Error(`the page lacks #${id}`);
    return found;
}

/**
 * Opens the chooser for one kind of file ("conf", "wav", "img", "bin", "dis", "mod"). Resolves to
 * the chosen file, or null when the chooser was closed without one. Call it from a user's action.
 * @param {keyof typeof ACCEPT} kind
 * @returns {Promise<Chosen | null>}
 */
export function chooseFile(kind) {
    const input = element("fileInput");
    const filter = element("uploadFilter");
    const realPath = element("uploadRealPath");
    pending?.(null);
    filter.setAttribute("value", kind);
    filter.value = kind;
    realPath.setAttribute("value", "");
    input.value = "";
    input.accept = ACCEPT[kind] || "";
    return new Promise(resolve => {
        pending = resolve;
        const finish = async () => {
            input.removeEventListener("change", finish);
            input.removeEventListener("cancel", cancel);
            const file = input.files?.[0];
            if (pending !== resolve) return;
            pending = null;
            resolve(file ? {file, realPath: await pathOf(realPath)} : null);
        };
        const cancel = () => {
            input.removeEventListener("change", finish);
            input.removeEventListener("cancel", cancel);
            if (pending === resolve) pending = null;
            resolve(null);
        };
        input.addEventListener("change", finish);
        input.addEventListener("cancel", cancel);
        input.click();
    });
}

/** @param {HTMLInputElement} realPath */
function pathOf(realPath) {
    const now = realPath.getAttribute("value") || "";
    if (now) return Promise.resolve(now);
    return new Promise(resolve => {
        const observer = new MutationObserver(() => {
            const value = realPath.getAttribute("value") || "";
            if (!value) return;
            observer.disconnect();
            clearTimeout(timer);
            resolve(value);
        });
        observer.observe(realPath, {attributes: true, attributeFilter: ["value"]});
        const timer = setTimeout(() => {
            observer.disconnect();
            resolve("");
        }, REAL_PATH_WAIT_MS);
    });
}
