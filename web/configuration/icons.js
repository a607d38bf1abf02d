// The button icons of the operator stations: the gallery as the server draws them, and for the
// chosen icon replace from an image, draw, clear; the whole set downloads as a zip.
import {html, useRef, useState} from "../lib/preact-htm.js";
import {ICON_NAMES, clearIcon, downloadIcons, iconUrl, replaceIcon} from "../common/api/icons.js";
import {chooseFile} from "../common/upload.js";
import {ErrorText, useCommand, useConfirm} from "../common/ui.js";
import {IconEditor} from "./icon-editor.js";
import {useSession} from "./state.js";

// The gallery's columns, as assets.css lays them out; the arrow keys move by them.
const COLUMNS = 16;

/** "radio_ds.bmp" -> "radio (disabled)". @param {string} name */
function caption(name) {
    const disabled = name.endsWith("_ds.bmp");
    return name.replace(/(_ds)?\.bmp$/, "").replace(/_/g, " ") + (disabled ? " (disabled)" : "");
}

function Gallery({selected, version, onSelect}) {
    const list = useRef(/** @type {HTMLElement | null} */ (null));
    const index = ICON_NAMES.indexOf(selected);
    const onKeyDown = (/** @type {KeyboardEvent} */ event) => {
        const step = {ArrowLeft: -1, ArrowRight: 1, ArrowUp: -COLUMNS, ArrowDown: COLUMNS,
            Home: -index, End: ICON_NAMES.length - 1 - index}[event.key];
        if (step === undefined) return;
        event.preventDefault();
        const next = index + step;
        if (next < 0 || next >= ICON_NAMES.length) return;
        onSelect(ICON_NAMES[next]);
        /** @type {HTMLElement | null} */ (list.current?.children[next])?.focus();
    };
    // One stop for the Tab key: the chosen icon; the arrow keys move within the gallery.
    return html`<div class="icon-gallery" ref=${list} role="group" aria-label="Icons" onKeyDown=${onKeyDown}>
        ${ICON_NAMES.map(name => html`<button type="button" key=${name} class="icon-tile"
            aria-label=${name} title=${caption(name)} aria-pressed=${name === selected ? "true" : "false"}
            tabindex=${name === selected ? 0 : -1} onClick=${() => onSelect(name)}>
            <img src=${iconUrl(name, version(name))} alt="" width="40" height="40"/>
        </button>`)}
    </div>`;
}

export function Icons() {
    const session = useSession();
    // The first icon that has a picture ("empty.bmp" never has one).
    const [selected, setSelected] = useState(ICON_NAMES[2]);
    // A changed icon gets a new address, so the page shows what the server renders now; the
    // first addresses are new too, and so are all after any change (a load, a restart).
    const [opened] = useState(() => Date.now());
    const [changes, setChanges] = useState(/** @type {Record<string, number>} */ ({}));
    const version = (/** @type {string} */ name) => `${opened}.${session.version}.${changes[name] || 0}`;
    const [drawing, setDrawing] = useState(false);
    const [notice, setNotice] = useState("");
    const command = useCommand();
    const archive = useCommand();
    const [ask, confirmDialog] = useConfirm();

    const changed = (/** @type {string} */ name, /** @type {string} */ message) => {
        setChanges(old => ({...old, [name]: (old[name] || 0) + 1}));
        setNotice(message);
        // The store counts an icon as unsaved, but cannot take it back: Undo passes it by.
        session.refresh().catch(() => undefined);
    };
    const select = (/** @type {string} */ name) => {
        setSelected(name);
        setNotice("");
        command.setError("");
    };

    const replace = async () => {
        setNotice("");
        const chosen = await chooseFile("img");
        if (!chosen) return;
        const name = selected;
        await command.run(async () => {
            await replaceIcon(name, chosen.file);
            changed(name, `${name} replaced by ${chosen.file.name}.`);
        });
    };
    const clear = async () => {
        setNotice("");
        const name = selected;
        if (!await ask({title: "Clear icon", text: `Clear ${name}? Its button shows no picture until a new one is given.`,
            confirmLabel: "Clear", danger: true})) return;
        await command.run(async () => {
            await clearIcon(name);
            changed(name, `${name} cleared.`);
        });
    };

    return html`<section class="icons" aria-labelledby="icons-title">
        <div class="icons-head">
            <h1 id="icons-title">Button icons</h1>
            <button type="button" disabled=${archive.pending} onClick=${() => archive.run(downloadIcons)}>Download all (icons.zip)</button>
            <${ErrorText} message=${archive.error}/>
        </div>
        <div class="icons-body">
            <${Gallery} selected=${selected} version=${version} onSelect=${select}/>
            <div class="icon-details">
                <h2>${selected}</h2>
                <p class="muted">${caption(selected)}</p>
                <img class="icon-preview" src=${iconUrl(selected, version(selected))} alt=${`${selected} as the server draws it`}
                    width="120" height="120"/>
                <div class="buttons icon-actions">
                    <button type="button" disabled=${command.pending} onClick=${replace}>Replace from image…</button>
                    <button type="button" disabled=${command.pending} onClick=${() => { setNotice(""); setDrawing(true); }}>Draw…</button>
                    <button type="button" disabled=${command.pending} onClick=${clear}>Clear</button>
                </div>
                <p class="muted">An image must be 20 × 20 pixels in black and white (BMP, PNG, GIF or JPEG).</p>
                <${ErrorText} message=${command.error}/>
                ${notice && html`<p class="notice" role="status">${notice}</p>`}
            </div>
        </div>
        ${drawing && html`<${IconEditor} name=${selected} version=${version(selected)}
            onClose=${() => setDrawing(false)}
            onUploaded=${() => { setDrawing(false); changed(selected, `${selected} drawn and uploaded.`); }}/>`}
        ${confirmDialog}
    </section>`;
}
