// The two addresses the boot loader's TFTP fetch needs: the PC's and the one proposed for the unit.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";
import {addressProblem} from "./checks.js";

/**
 * One address: shown as the server holds it, changed with Set. A refused one says why and the
 * server's address stays.
 * @param {{label: string, id: string, held: string, locked: boolean, save: (a: string) => Promise<any>}} props
 */
function AddressField({label, id, held, locked, save}) {
    const [text, setText] = useState(held);
    const command = useCommand();
    useEffect(() => setText(held), [held]);
    const submit = (/** @type {Event} */ event) => {
        event.preventDefault();
        const wanted = text.trim();
        const problem = addressProblem(wanted);
        if (problem) return command.setError(`${problem} The address in use stays ${held || "unset"}.`);
        command.run(() => save(wanted));
    };
    return html`<form class="address" onSubmit=${submit}>
        <label for=${id}>${label}</label>
        <input id=${id} class="mono" value=${text} disabled=${locked} aria-invalid=${command.error ? "true" : undefined}
            aria-describedby=${command.error ? id + "-error" : undefined}
            onInput=${(/** @type {any} */ e) => setText(e.currentTarget.value)}/>
        <button type="submit" disabled=${locked || command.pending || text.trim() === held}
            aria-label=${"Set " + label}>Set</button>
        <${ErrorText} id=${id + "-error"} message=${command.error}/>
    </form>`;
}

/** @param {{port: curtain.PortDetails | undefined, locked: boolean}} props */
export function Addresses({port, locked}) {
    const [held, setHeld] = useState({serverAddress: "", centralUnitAddress: ""});
    const [error, setError] = useState("");
    const reload = async () => {
        const answer = await curtain.addresses();
        setHeld({serverAddress: answer?.serverAddress || "", centralUnitAddress: answer?.centralUnitAddress || ""});
    };
    const portName = port?.name;
    useEffect(() => {
        if (portName) reload().then(() => setError(""), e => setError(String(e.message || e)));
    }, [portName]);
    /** Sends one address, then reads both back: the server has the last word. */
    const saver = (/** @type {(a: string) => Promise<any>} */ send) => async (/** @type {string} */ address) => {
        await send(address);
        await reload();
    };
    return html`<section class="panel" aria-labelledby="addresses-title">
        <h2 id="addresses-title">2. Addresses</h2>
        ${!port ? html`<p class="muted">Shown once a port is chosen.</p>` : html`
            <${AddressField} label="PC address" id="server-address" held=${held.serverAddress} locked=${locked}
                save=${saver(curtain.setServerAddress)}/>
            <${AddressField} label="Unit address" id="unit-address" held=${held.centralUnitAddress} locked=${locked}
                save=${saver(curtain.setUnitAddress)}/>
            <p class="hint">The unit fetches its image from the PC address; it uses the unit address meanwhile.</p>`}
        <${ErrorText} message=${error}/>
    </section>`;
}
