// What the server can do on the network (an "updater" answer): the Ethernet interfaces it listens
// on for units, and recovery's TFTP port.
import {getJson} from "../client.js";

/**
 * @typedef {{name: string, open: boolean, reason: string}} InterfaceStatus
 * @typedef {{listening: boolean, reason: string}} TftpStatus
 * @typedef {{interfaces: InterfaceStatus[] | null, tftp: TftpStatus | null}} NetworkStatus
 */

/** `interfaces` is null until the server has looked for them. @returns {Promise<NetworkStatus>} */
export async function networkStatus() {
    const reply = await getJson("/updater/networkStatus.json");
    return {interfaces: Array.isArray(reply?.interfaces) ? reply.interfaces : null, tftp: reply?.tftp ?? null};
}
