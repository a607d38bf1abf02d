// The image: chosen as a "bin" file, checked by its size before anything is sent, then sent once
// to the selected port's session. It counts as loaded only when the server reports an image of its
// size for that port: the upload's own answer says nothing either way.
import {html} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import {chooseFile} from "../common/upload.js";
import * as curtain from "../common/api/curtain.js";
import {MIB, formatSize, imageProblem} from "./checks.js";

/** @typedef {{file: File, name: string, size: number, port: string}} Image */

/**
 * Asks for an image file for `port`; resolves to it, or null (nothing chosen). Throws the reason
 * when it is refused: a refused file never reaches the server, so the image in use stays.
 * @param {string} port @returns {Promise<Image | null>}
 */
export async function chooseImage(port) {
    const chosen = await chooseFile("bin");
    if (!chosen) return null;
    const file = chosen.file;
    const problem = imageProblem({name: file.name, size: file.size});
    if (problem) throw new Error(problem);
    return {file, name: chosen.realPath || file.name, size: file.size, port};
}

/** Sends the image to the selected port's session. @param {Image} image */
export const sendImage = image => curtain.uploadImage(image.file);

/** Whether the server holds `image` for `port`. @param {Image | null} image @param {curtain.PortDetails | undefined} port */
export function isLoaded(image, port) {
    return !!image && !!port && image.port === port.name && port.imageSize === image.size;
}

/** Why the server does not hold the image just sent, or "". @param {Image} image @param {curtain.PortDetails | undefined} port */
export function notLoadedProblem(image, port) {
    if (isLoaded(image, port)) return "";
    return `The server did not load “${image.name}”${port?.imageSize ? `: it still holds a ${formatSize(port.imageSize)} image`
        : ": it holds no image for this port"}. Check that the file can be read, then choose it again.`;
}

/**
 * @param {{port: curtain.PortDetails | undefined, image: Image | null, setImage: (i: Image) => void,
 *   sending: Image | null, setSending: (i: Image | null) => void, locked: boolean,
 *   change: import("./port_feed.js").PortFeed["change"]}} props
 */
export function ImagePanel({port, image, setImage, sending, setSending, locked, change}) {
    const command = useCommand();
    // The image counts as chosen once the server has it: until then the previous one, of the same
    // size perhaps, is what the server reports.
    const choose = () => command.run(async () => {
        if (!port) return;
        const chosen = await chooseImage(port.name);
        if (!chosen) return;
        setSending(chosen);
        try {
            await change(() => sendImage(chosen));
            setImage(chosen);
        } finally {
            setSending(null);
        }
    });
    const loaded = isLoaded(image, port);
    const sentHere = image && port && image.port === port.name;
    const held = port?.imageSize || 0;
    const mismatch = loaded && image && port && port.flashSizeMb > 0 && image.size !== port.flashSizeMb * MIB;
    return html`<section class="panel" aria-labelledby="image-title">
        <h2 id="image-title">4. Image</h2>
        ${loaded && image && !sending ? html`<p class="image-taken" role="status"><span class="label">Loaded:</span>${" "}<strong
                class="file-name">${image.name}</strong> <span>(${formatSize(image.size)})</span></p>`
            : sending ? html`<p class="muted" role="status">Sending “${sending.name}” to the server…</p>`
            : held ? html`<p class="hint">The server holds a ${formatSize(held)} image for this port from before; choose
                its file again to start a new recovery.</p>`
            : html`<p class="muted">No image loaded. A unit image is a “.bin” file of exactly 32 MiB or 64 MiB.</p>`}
        ${mismatch && port && html`<p class="hint">This unit's flash holds ${port.flashSizeMb} MiB: the recovery will ask
            for an image of that size.</p>`}
        <div class="buttons">
            <button type="button" disabled=${locked || !port || command.pending} onClick=${choose}>
                ${command.pending ? "Loading the image…" : loaded ? "Choose another image…" : "Choose image…"}</button>
        </div>
        ${!port && html`<p class="muted">Choose a port first: the image goes to its unit.</p>`}
        <${ErrorText} message=${command.error || (!sending && sentHere && image ? notLoadedProblem(image, port) : "")}/>
    </section>`;
}
