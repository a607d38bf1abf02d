import {html} from "../lib/preact-htm.js";
import {startPage} from "../common/frame.js";

function Module() {
    return html`<h1>Recovery</h1>`;
}

startPage(Module);
