// The server's network status, asked for again and again, so a page says what the server cannot do
// (no Ethernet interface open, UDP port 69 not bound) instead of an empty list or a run that
// cannot work. A failed question keeps the last answer: the page's own polls say a server that is gone.
import {html, useState} from "../lib/preact-htm.js";
import {usePolling} from "./ui.js";
import {networkStatus} from "./api/network_status.js";

// An interface that opens later, or a reason that changes, shows within this.
const STATUS_MS = 3000;

/** @returns {import("./api/network_status.js").NetworkStatus | null} null until the first answer */
export function useNetworkStatus() {
    const [status, setStatus] = useState(/** @type {import("./api/network_status.js").NetworkStatus | null} */ (null));
    usePolling(async () => setStatus(await networkStatus()), STATUS_MS);
    return status;
}

/**
 * What the server cannot do, and why, in a box that stands out.
 * @param {{title: string, reasons: string[]}} props
 */
export function Limits({title, reasons}) {
    return html`<div class="server-limits" role="alert">
        <strong>${title}</strong>
        ${reasons.length === 1 ? html`<p>${reasons[0]}</p>` : html`<ul>${reasons.map(r => html`<li>${r}</li>`)}</ul>`}
    </div>`;
}
