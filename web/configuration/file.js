// The file in use: its name, the store's count of unsaved changes, and New, Open, Save, Save as,
// Undo. Opening or starting another file while the store holds unsaved changes (made in any window)
// asks first; a file that cannot be loaded leaves the configuration in use as it was and says why.
// Changes count as saved only once it is known that a file holds them: a browser's download only
// when the user says that it arrived.
import {html, useEffect, useRef, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {inControlCentre} from "../common/client.js";
import {chooseFile} from "../common/upload.js";
import {ErrorText, describe, useCommand, useConfirm} from "../common/ui.js";
import {changes, useSession} from "./state.js";

// How often the store is asked whether the control centre's save dialog had a file written.
const WRITE_POLL_MS = 700;
// A save dialog left open longer than this is no longer waited for.
const WRITE_WAIT_MS = 30 * 60 * 1000;
// After the dialog closed (the page has the focus again), the store is given this long to write.
const AFTER_DIALOG_MS = 3000;
// ... and is asked a little longer after the page has said that nothing was written.
const LATE_WRITE_MS = 10000;

/** @param {number} ms */
const sleep = ms => new Promise(resolve => setTimeout(resolve, ms));

/**
 * Waits until the store has written another file of the user's than the `before` it had written,
 * and resolves to that file; "" when the save dialog closed without one. `onClosed` is told when the
 * dialog seems closed and nothing was written yet.
 * @param {number} before @param {AbortSignal} signal @param {() => void} onClosed
 */
async function writtenAfter(before, signal, onClosed) {
    let focusBack = 0;
    const onFocus = () => { focusBack = Date.now(); };
    window.addEventListener("focus", onFocus);
    try {
        let deadline = Date.now() + WRITE_WAIT_MS;
        let told = false;
        while (!signal.aborted && Date.now() < deadline) {
            const state = await tuna.fileState();
            if (state.written > before) return state.file;
            if (!told && focusBack && Date.now() - focusBack > AFTER_DIALOG_MS) {
                told = true;
                onClosed();
                // A write this late would be no answer to this dialog.
                deadline = Math.min(deadline, Date.now() + LATE_WRITE_MS);
            }
            await sleep(WRITE_POLL_MS);
        }
        return "";
    } finally {
        window.removeEventListener("focus", onFocus);
    }
}

/** The last element of a path on the user's machine. @param {string} path */
const baseName = path => path.replace(/^.*[\\/]/, "");

export function FileBar() {
    const session = useSession();
    const command = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const unsaved = session.unsaved;
    // The file that Save writes, as the store knows it ("" when there is none): the name that the
    // configuration carries inside may be another file's.
    const [filePath, setFilePath] = useState("");
    const readFilePath = () => tuna.fileState().then(state => setFilePath(state.file), () => undefined);
    useEffect(() => { readFilePath(); }, [session.fileName, session.known]);
    // A browser's download that the user has not said arrived: its name and the store's revision it holds.
    const [handed, setHanded] = useState(/** @type {{name: string, revision: number} | null} */ (null));
    // A Save as that waits for the control centre's save dialog; a new command ends the wait.
    const waiting = useRef(/** @type {AbortController | null} */ (null));
    /** @param {() => Promise<string>} action */
    const run = action => {
        if (command.pending) return undefined;
        waiting.current?.abort();
        waiting.current = null;
        session.say("");
        setHanded(null);
        return command.run(async () => {
            try {
                session.say(await action());
            } catch (e) {
                // "Opening …" and the like are no longer true.
                session.say("");
                throw e;
            } finally {
                readFilePath();
            }
        });
    };

    // The store's count as it is now, whichever window made the changes.
    const mayDiscard = async (/** @type {string} */ what) => {
        await session.refresh().catch(() => undefined);
        const count = session.unsaved;
        return count === 0 || ask({
            title: "Discard unsaved changes?",
            text: `${count} change${count === 1 ? " is" : "s are"} not saved. ${what} discards ${count === 1 ? "it" : "them"}.`,
            confirmLabel: "Discard changes", danger: true,
        });
    };

    // Busy buttons stay focusable (aria-disabled), so the keyboard's place is kept; a click while a
    // command runs does nothing.
    const open = async () => {
        if (command.pending) return;
        // The chooser must open from the click itself; the question comes after the choice.
        const chosen = await chooseFile("conf");
        if (!chosen || !(await mayDiscard(`Opening ${chosen.file.name}`))) return;
        await run(async () => {
            session.say(`Opening ${chosen.file.name}…`);
            await tuna.loadFile(chosen.file, chosen.realPath);
            await session.settled();
            return `Opened ${chosen.file.name}.`;
        });
    };

    const startNew = async () => {
        if (command.pending) return;
        if (!(await mayDiscard("A new configuration"))) return;
        await run(async () => {
            await tuna.newFile();
            await session.settled();
            return "Started a new configuration.";
        });
    };

    const saveAs = async () => {
        if (!inControlCentre()) {
            // A browser does not tell the page whether it kept the file: the user does.
            await session.refresh();
            const revision = session.revision;
            const name = await tuna.downloadConfiguration();
            setHanded({name, revision});
            return `Handed to the browser as ${name}: if its download was cancelled, the changes are not saved.`;
        }
        const before = (await tuna.fileState()).written;
        const controller = new AbortController();
        waiting.current = controller;
        const count = session.unsaved;
        tuna.offerConfigurationToSave();
        // The wait runs beside the buttons: another command ends it.
        writtenAfter(before, controller.signal, () => session.say(
            `No file was written: the save dialog was closed without saving.${count ? ` The page still has ${changes(count)}.` : ""}`))
            .then(async file => {
                if (!file || controller.signal.aborted) return;
                setFilePath(file);
                await session.settled();
                session.say(`Saved as ${baseName(file)}.`);
            })
            .catch(e => command.setError(describe(e)))
            .finally(() => { if (waiting.current === controller) waiting.current = null; });
        return "Save as: choose the file in the save dialog. The changes count as saved once the file is written.";
    };

    const save = () => run(async () => {
        const {file} = await tuna.fileState();
        if (!file) return saveAs();
        await tuna.saveFile();
        await session.settled();
        return `Saved to ${baseName(file)}.`;
    });

    const undoLabel = session.undoLabel;
    const undo = () => {
        if (!undoLabel) return undefined;
        return run(async () => `Undone: ${await session.undo()}.`);
    };

    // Ctrl+Z undoes where it does not belong to a text field.
    const undoRef = useRef(undo);
    undoRef.current = undo;
    useEffect(() => {
        const onKey = (/** @type {KeyboardEvent} */ event) => {
            if (!(event.ctrlKey || event.metaKey) || event.shiftKey || event.altKey || event.key.toLowerCase() !== "z") return;
            const target = /** @type {HTMLElement | null} */ (event.target instanceof HTMLElement ? event.target : null);
            if (target?.closest("input, textarea, select, [contenteditable]:not([contenteditable=false]), dialog")) return;
            event.preventDefault();
            undoRef.current();
        };
        document.addEventListener("keydown", onKey);
        return () => document.removeEventListener("keydown", onKey);
    }, []);

    const arrived = () => run(async () => {
        if (!handed) return "";
        await tuna.downloadKept(handed.revision);
        await session.settled();
        return `Saved as ${handed.name} (a download).`;
    });

    const busy = command.pending ? "true" : undefined;
    const unknown = !session.known;
    return html`<div class="file-bar" role="toolbar" aria-label="Configuration file">
        <span class="file-name"><span class="muted">Configuration file:</span> <strong id="file-name"
            title=${filePath || undefined}>${baseName(filePath) || session.fileName || "…"}</strong></span>
        <span class=${"unsaved" + (unsaved ? " has-unsaved" : "")} role="status" aria-live="polite">
            ${unsaved ? changes(unsaved) : "No unsaved changes"}</span>
        <span class="file-buttons">
            <button type="button" onClick=${startNew} aria-disabled=${busy} disabled=${unknown}>New</button>
            <button type="button" onClick=${open} aria-disabled=${busy} disabled=${unknown}>Open…</button>
            <button type="button" class="primary" onClick=${save} aria-disabled=${busy} disabled=${unknown}>Save</button>
            <button type="button" onClick=${() => run(saveAs)} aria-disabled=${busy} disabled=${unknown}>Save as…</button>
            <button type="button" onClick=${undo} aria-disabled=${busy} disabled=${!undoLabel}
                title=${undoLabel ? "Ctrl+Z" : "Nothing to undo"}>${undoLabel ? `Undo: ${undoLabel}` : "Undo"}</button>
        </span>
        ${session.notice ? html`<span class="notice" role="status">${session.notice}</span>` : null}
        ${handed ? html`<button type="button" onClick=${arrived} aria-disabled=${busy}>The file arrived</button>` : null}
        ${session.elsewhere ? html`<span class="notice elsewhere" role="status">${session.elsewhere}</span>` : null}
        <${ErrorText} message=${command.error}/>
        ${confirmDialog}
    </div>`;
}
