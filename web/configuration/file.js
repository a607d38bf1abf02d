// The file in use: its name, the count of unsaved changes, and New, Open, Save, Save as, Undo.
// Opening or starting another file while changes are unsaved asks first; a file that cannot be
// loaded leaves the configuration in use as it was and says why.
import {html, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {chooseFile} from "../common/upload.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";
import {useSession} from "./state.js";

export function FileBar() {
    const session = useSession();
    const command = useCommand();
    const [ask, confirmDialog] = useConfirm();
    const unsaved = session.unsaved;
    // What the last command did, said until the next one starts.
    const [done, setDone] = useState("");
    /** @param {() => Promise<string>} action */
    const run = action => {
        if (command.pending) return undefined;
        setDone("");
        return command.run(async () => setDone(await action()));
    };

    const mayDiscard = async (/** @type {string} */ what) => unsaved === 0 || ask({
        title: "Discard unsaved changes?",
        text: `${unsaved} change${unsaved === 1 ? " is" : "s are"} not saved. ${what} discards ${unsaved === 1 ? "it" : "them"}.`,
        confirmLabel: "Discard changes", danger: true,
    });

    // Busy buttons stay focusable (aria-disabled), so the keyboard's place is kept; a click while a
    // command runs does nothing.
    const open = async () => {
        if (command.pending) return;
        // The chooser must open from the click itself; the question comes after the choice.
        const chosen = await chooseFile("conf");
        if (!chosen || !(await mayDiscard(`Opening ${chosen.file.name}`))) return;
        await run(async () => {
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

    const save = () => run(async () => {
        const how = await tuna.saveFile();
        await session.settled();
        return how === "written" ? "Saved." : "Saved as a download.";
    });

    const saveAs = () => run(async () => {
        await tuna.saveFileAs();
        // The control centre renames the configuration once its save dialog is answered.
        setTimeout(() => session.readName().catch(() => undefined), 1500);
        await session.settled();
        return "Saved as a download.";
    });

    const undo = () => run(async () => {
        await session.undo();
        return "Undone: the last change.";
    });

    return html`<div class="file-bar" role="toolbar" aria-label="Configuration file">
        <span class="file-name"><span class="muted">Configuration file:</span> <strong id="file-name">${session.fileName || "…"}</strong></span>
        <span class=${"unsaved" + (unsaved ? " has-unsaved" : "")} role="status" aria-live="polite">
            ${unsaved ? `${unsaved} unsaved change${unsaved === 1 ? "" : "s"}` : "No unsaved changes"}</span>
        <span class="file-buttons">
            <button type="button" onClick=${startNew} aria-disabled=${command.pending ? "true" : undefined}>New</button>
            <button type="button" onClick=${open} aria-disabled=${command.pending ? "true" : undefined}>Open…</button>
            <button type="button" class="primary" onClick=${save} aria-disabled=${command.pending ? "true" : undefined}>Save</button>
            <button type="button" onClick=${saveAs} aria-disabled=${command.pending ? "true" : undefined}>Save as…</button>
            <button type="button" onClick=${undo} aria-disabled=${command.pending ? "true" : undefined}>Undo</button>
        </span>
        ${done ? html`<span class="notice" role="status">${done}</span>` : null}
        <${ErrorText} message=${command.error}/>
        ${confirmDialog}
    </div>`;
}
