// A recovery needs the server's TFTP port: the unit fetches its image from UDP port 69. Without it
// the page says so before a run, and Start stays disabled with the reason.
import {html} from "../lib/preact-htm.js";
import {Limits} from "../common/network_status.js";

/** Why no run can start, in the server's words, or "". @param {import("../common/api/network_status.js").NetworkStatus | null} status */
export function tftpBlock(status) {
    const tftp = status?.tftp;
    return tftp && !tftp.listening ? tftp.reason || "the server does not listen on UDP port 69" : "";
}

/** @param {{block: string}} props */
export function TftpNotice({block}) {
    return block ? html`<${Limits} title="No recovery can run on this PC now." reasons=${[`Why: ${block}.`]}/>` : null;
}
