// The image: chosen as a "bin" file, checked by its size before anything is sent, then loaded into
// the selected port's session. A refused file never reaches the server, so the image in use stays.
import {html} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import {chooseFile} from "../common/upload.js";
import * as curtain from "../common/api/curtain.js";
import {MIB, formatSize, imageProblem} from "./checks.js";

/** @typedef {{file: File, name: string, size: number}} Image */

/**
 * Asks for an image file and sends it; resolves to the image taken, or null (nothing chosen).
 * Throws the reason when it is refused.
 * @returns {Promise<Image | null>}
 */
export async function chooseAndSendImage() {
    const chosen = await chooseFile("bin");
    if (!chosen) return null;
    const file = chosen.file;
    const name = chosen.realPath || file.name;
    const problem = imageProblem({name: file.name, size: file.size});
    if (problem) throw new Error(problem);
    await curtain.uploadImage(file);
    return {file, name, size: file.size};
}

/**
 * @param {{port: curtain.PortDetails | undefined, image: Image | null, setImage: (i: Image) => void,
 *   locked: boolean, refresh: () => Promise<void>}} props
 */
export function ImagePanel({port, image, setImage, locked, refresh}) {
    const command = useCommand();
    const choose = () => command.run(async () => {
        const taken = await chooseAndSendImage();
        if (!taken) return;
        await refresh();
        setImage(taken);
    });
    const held = port?.imageSize || 0;
    const mismatch = image && port && port.flashSizeMb > 0 && image.size !== port.flashSizeMb * MIB;
    return html`<section class="panel" aria-labelledby="image-title">
        <h2 id="image-title">4. Image</h2>
        ${image ? html`<p class="image-taken" role="status"><span class="label">Loaded:</span>${" "}<strong class="file-name">${image.name}</strong> <span>(${formatSize(image.size)})</span></p>`
            : held ? html`<p class="hint">The server still holds a ${formatSize(held)} image from before; choose its file
                again to start a new recovery.</p>`
            : html`<p class="muted">No image loaded. A unit image is a “.bin” file of exactly 32 MiB or 64 MiB.</p>`}
        ${mismatch && html`<p class="hint">This unit's flash holds ${port.flashSizeMb} MiB: the recovery will ask for an image
            of that size.</p>`}
        <div class="buttons">
            <button type="button" disabled=${locked || !port || command.pending} onClick=${choose}>
                ${command.pending ? "Loading the image…" : image ? "Choose another image…" : "Choose image…"}</button>
        </div>
        ${!port && html`<p class="muted">Choose a port first: the image goes to its unit.</p>`}
        <${ErrorText} message=${command.error}/>
    </section>`;
}
