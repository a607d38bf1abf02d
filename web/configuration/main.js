import {html} from "../lib/preact-htm.js";
import {startPage} from "../common/frame.js";

function Module() {
    return html`<h1>Configuration</h1>`;
}

startPage(Module);
