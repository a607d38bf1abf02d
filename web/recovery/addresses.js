// The two addresses the boot loader's TFTP fetch needs: the PC's and the one proposed for the unit.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";
import {addressProblem} from "./checks.js";

/**
 * One address: shown as the server holds it, changed with Set. A refused one (by the page, or by
 * the server, which knows the PC's network) says why beside the field, and the server's address stays.
 * `notice` is what the server finds wrong with the address as held beside the other one.
 * @param {{label: string, id: string, held: string, locked: boolean, problem: (a: string) => string,
 *   save: (a: string) => Promise<any>, notice?: string}} props
 */
function AddressField({label, id, held, locked, problem, save, notice = ""}) {
    const [text, setText] = useState(held);
    const command = useCommand();
    useEffect(() => setText(held), [held]);
    const stays = ` The address in use stays ${held || "unset"}.`;
    const submit = (/** @type {Event} */ event) => {
        event.preventDefault();
        const wanted = text.trim();
        const why = problem(wanted);
        if (why) return command.setError(why + stays);
        command.run(async () => {
            try {
                await save(wanted);
            } catch (e) {
                throw new Error(String(/** @type {any} */ (e).message || e) + stays);
            }
        });
    };
    return html`<form class="address" onSubmit=${submit}>
        <label for=${id}>${label}</label>
        <input id=${id} class="mono" value=${text} disabled=${locked}
            aria-invalid=${command.error || notice ? "true" : undefined}
            aria-describedby=${command.error ? id + "-error" : notice ? id + "-notice" : undefined}
            onInput=${(/** @type {any} */ e) => setText(e.currentTarget.value)}/>
        <button type="submit" disabled=${locked || command.pending || text.trim() === held}
            aria-label=${"Set " + label}>Set</button>
        <${ErrorText} id=${id + "-error"} message=${command.error}/>
        <${ErrorText} id=${id + "-notice"} message=${notice && !command.error ? notice : ""}/>
    </form>`;
}

/**
 * @param {{port: curtain.PortDetails | undefined, locked: boolean, feed: import("./port_feed.js").PortFeed}} props
 */
export function Addresses({port, locked, feed}) {
    const [held, setHeld] = useState({serverAddress: "", centralUnitAddress: ""});
    const [error, setError] = useState("");
    const reload = async () => {
        const answer = await curtain.addresses();
        setHeld({serverAddress: answer?.serverAddress || "", centralUnitAddress: answer?.centralUnitAddress || ""});
    };
    const portName = port?.name;
    // Read again when the pair's verdict changes: another window may have changed an address.
    useEffect(() => {
        if (portName) reload().then(() => setError(""), e => setError(String(e.message || e)));
    }, [portName, feed.addressProblem]);
    /** Sends one address, then reads both back, and whether they work together: the server has the last word. */
    const saver = (/** @type {(a: string) => Promise<any>} */ send) => (/** @type {string} */ address) =>
        feed.change(async () => {
            try {
                await send(address);
            } finally {
                await reload();
            }
        });
    return html`<section class="panel" aria-labelledby="addresses-title">
        <h2 id="addresses-title">2. Addresses</h2>
        ${!port ? html`<p class="muted">Shown once a port is chosen.</p>` : html`
            <${AddressField} label="PC address" id="server-address" held=${held.serverAddress} locked=${locked}
                problem=${addressProblem}
                save=${saver(curtain.setServerAddress)}/>
            <${AddressField} label="Unit address" id="unit-address" held=${held.centralUnitAddress} locked=${locked}
                problem=${addressProblem}
                save=${saver(curtain.setUnitAddress)} notice=${feed.addressProblem}/>
            <p class="hint">The unit fetches its image from the PC address; it uses the unit address meanwhile, in the
                PC's network.</p>`}
        <${ErrorText} message=${error}/>
    </section>`;
}
