// Drawing one button icon on its 20 x 20 black-and-white grid, with the mouse or the keyboard, and
// sending it to the server as the icon's image.
import {html, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {ICON_SIDE, iconUrl, replaceIcon} from "../common/api/icons.js";
import {Dialog, ErrorText, useCommand} from "../common/ui.js";

const CELL = 16;
const GRID = ICON_SIDE * CELL;
const INK = "#000000";
const PAPER = "#ffffff";

/** @typedef {number[]} Pixels 1 black, 0 white, at y * ICON_SIDE + x */

const blank = () => /** @type {Pixels} */ (new Array(ICON_SIDE * ICON_SIDE).fill(0));

/**
 * The icon as the server renders it now; only pure black counts as drawn, as on the server.
 * @param {string} src @returns {Promise<Pixels>}
 */
function readIcon(src) {
    return new Promise((resolve, reject) => {
        const image = new Image();
        image.onload = () => {
            const canvas = document.createElement("canvas");
            canvas.width = canvas.height = ICON_SIDE;
            const context = canvas.getContext("2d");
            context.drawImage(image, 0, 0);
            const data = context.getImageData(0, 0, ICON_SIDE, ICON_SIDE).data;
            const pixels = blank();
            for (let i = 0; i < pixels.length; ++i)
                pixels[i] = data[4 * i] === 0 && data[4 * i + 1] === 0 && data[4 * i + 2] === 0 ? 1 : 0;
            resolve(pixels);
        };
        image.onerror = () => reject(new Error("the icon's current picture could not be read; the grid starts blank"));
        image.src = src;
    });
}

/** Black cells of `size` on white. @param {CanvasRenderingContext2D} context @param {Pixels} pixels @param {number} size */
function drawPixels(context, pixels, size) {
    context.fillStyle = PAPER;
    context.fillRect(0, 0, ICON_SIDE * size, ICON_SIDE * size);
    context.fillStyle = INK;
    pixels.forEach((on, i) => on && context.fillRect((i % ICON_SIDE) * size, Math.floor(i / ICON_SIDE) * size, size, size));
}

/** The drawing as a 20 x 20 PNG with exactly the two colours the server accepts. @param {Pixels} pixels */
function toPng(pixels) {
    const canvas = document.createElement("canvas");
    canvas.width = canvas.height = ICON_SIDE;
    drawPixels(canvas.getContext("2d"), pixels, 1);
    return new Promise((resolve, reject) =>
        canvas.toBlob(blob => blob ? resolve(blob) : reject(new Error("the drawing could not be made into an image")),
            "image/png"));
}

/** @param {CanvasRenderingContext2D} context @param {Pixels} pixels @param {{x: number, y: number}} cursor @param {boolean} focused */
function paint(context, pixels, cursor, focused) {
    drawPixels(context, pixels, CELL);
    context.strokeStyle = "#9aa5b1";
    context.lineWidth = 1;
    context.beginPath();
    for (let k = 0; k <= ICON_SIDE; ++k) {
        const at = Math.min(k * CELL + 0.5, GRID - 0.5);
        context.moveTo(at, 0);
        context.lineTo(at, GRID);
        context.moveTo(0, at);
        context.lineTo(GRID, at);
    }
    context.stroke();
    if (focused) {
        // Orange with a white inner line shows on black and on white cells alike.
        context.lineWidth = 3;
        context.strokeStyle = "#e07000";
        context.strokeRect(cursor.x * CELL + 1.5, cursor.y * CELL + 1.5, CELL - 3, CELL - 3);
        context.lineWidth = 1;
        context.strokeStyle = PAPER;
        context.strokeRect(cursor.x * CELL + 3.5, cursor.y * CELL + 3.5, CELL - 7, CELL - 7);
    }
}

/** The cells of the straight line from `a` to `b`, both included. @param {{x: number, y: number}} a @param {{x: number, y: number}} b */
function line(a, b) {
    const steps = Math.max(Math.abs(b.x - a.x), Math.abs(b.y - a.y));
    const cells = [];
    for (let i = 0; i <= steps; ++i) {
        const t = steps ? i / steps : 0;
        cells.push({x: Math.round(a.x + (b.x - a.x) * t), y: Math.round(a.y + (b.y - a.y) * t)});
    }
    return cells;
}

const MOVES = {ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1]};
const clamp = (/** @type {number} */ v) => Math.max(0, Math.min(ICON_SIDE - 1, v));

/**
 * The grid in a dialog. It starts from the icon's current picture; `onUploaded()` follows a
 * successful upload, `onClose()` any way out.
 */
export function IconEditor({name, version, onUploaded, onClose}) {
    const [pixels, setPixels] = useState(/** @type {Pixels | null} */ (null));
    const [cursor, setCursor] = useState({x: 0, y: 0});
    const [focused, setFocused] = useState(false);
    const canvas = useRef(/** @type {HTMLCanvasElement | null} */ (null));
    const preview = useRef(/** @type {HTMLCanvasElement | null} */ (null));
    const previewLarge = useRef(/** @type {HTMLCanvasElement | null} */ (null));
    const stroke = useRef(/** @type {{value: number, last: {x: number, y: number}} | null} */ (null));
    const upload = useCommand();

    useEffect(() => {
        readIcon(iconUrl(name, version)).then(setPixels, e => {
            upload.setError(e.message);
            setPixels(blank());
        });
    }, [name, version]);

    useEffect(() => {
        const context = canvas.current?.getContext("2d");
        if (context && pixels) paint(context, pixels, cursor, focused);
    }, [pixels, cursor, focused]);
    useEffect(() => {
        for (const view of [preview, previewLarge]) {
            const context = view.current?.getContext("2d");
            if (context && pixels) drawPixels(context, pixels, 1);
        }
    }, [pixels]);

    /** @param {{x: number, y: number}[]} cells @param {number} value */
    const set = (cells, value) =>
        setPixels(old => {
            if (!old || cells.every(c => old[c.y * ICON_SIDE + c.x] === value)) return old;
            const next = old.slice();
            for (const c of cells) next[c.y * ICON_SIDE + c.x] = value;
            return next;
        });

    /** @param {PointerEvent} event */
    const cellAt = event => {
        const grid = canvas.current;
        const box = grid.getBoundingClientRect();
        return {
            x: clamp(Math.floor((event.clientX - box.left - grid.clientLeft) / grid.clientWidth * ICON_SIDE)),
            y: clamp(Math.floor((event.clientY - box.top - grid.clientTop) / grid.clientHeight * ICON_SIDE)),
        };
    };
    // A stroke paints the colour that its first cell did not have, so dragging draws or erases;
    // a quick drag skips cells between two moves, so the stroke joins them with a line.
    const onPointerDown = (/** @type {PointerEvent} */ event) => {
        if (!pixels || event.button !== 0) return;
        const cell = cellAt(event);
        stroke.current = {value: pixels[cell.y * ICON_SIDE + cell.x] ? 0 : 1, last: cell};
        canvas.current.setPointerCapture(event.pointerId);
        setCursor(cell);
        set([cell], stroke.current.value);
    };
    const onPointerMove = (/** @type {PointerEvent} */ event) => {
        if (!stroke.current) return;
        const cell = cellAt(event);
        setCursor(cell);
        set(line(stroke.current.last, cell), stroke.current.value);
        stroke.current.last = cell;
    };
    const endStroke = () => { stroke.current = null; };

    const onKeyDown = (/** @type {KeyboardEvent} */ event) => {
        const move = MOVES[event.key];
        if (move) {
            event.preventDefault();
            setCursor(c => ({x: clamp(c.x + move[0]), y: clamp(c.y + move[1])}));
        } else if ((event.key === " " || event.key === "Enter") && pixels) {
            event.preventDefault();
            set([cursor], pixels[cursor.y * ICON_SIDE + cursor.x] ? 0 : 1);
        }
    };

    const send = () => upload.run(async () => {
        await replaceIcon(name, await toPng(pixels));
        onUploaded();
    });

    const here = pixels ? (pixels[cursor.y * ICON_SIDE + cursor.x] ? "black" : "white") : "";
    return html`<${Dialog} title=${`Draw ${name}`} onClose=${onClose} className="icon-editor">
        <p class="muted" id="icon-grid-help">Click or drag to draw and erase. With the keyboard: the arrow keys move, Space switches a pixel between black and white.</p>
        <div class="icon-editor-body">
            <canvas ref=${canvas} width=${GRID} height=${GRID} class="icon-grid" tabindex="0" autofocus
                role="application" aria-label=${`Drawing of ${name}, 20 by 20 pixels`} aria-describedby="icon-grid-help"
                onPointerDown=${onPointerDown} onPointerMove=${onPointerMove} onPointerUp=${endStroke} onPointerCancel=${endStroke}
                onKeyDown=${onKeyDown} onFocus=${() => setFocused(true)} onBlur=${() => setFocused(false)}></canvas>
            <figure class="icon-editor-preview">
                <canvas ref=${preview} width=${ICON_SIDE} height=${ICON_SIDE} aria-hidden="true"></canvas>
                <canvas ref=${previewLarge} width=${ICON_SIDE} height=${ICON_SIDE} class="icon-double" aria-hidden="true"></canvas>
                <figcaption class="muted">As on the button, and twice its size</figcaption>
            </figure>
        </div>
        <p class="icon-grid-position" aria-live="polite">${pixels ? `Row ${cursor.y + 1}, column ${cursor.x + 1}: ${here}` : "Loading the icon…"}</p>
        <${ErrorText} message=${upload.error}/>
        <div class="buttons">
            <button type="button" class="primary" disabled=${!pixels || upload.pending} onClick=${send}>Upload drawing</button>
            <button type="button" disabled=${!pixels || upload.pending} onClick=${() => setPixels(blank())}>Clear grid</button>
            <button type="button" onClick=${onClose}>Cancel</button>
        </div>
    <//>`;
}
