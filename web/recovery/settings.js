// The selected port's recovery settings, each shown as the server holds it.
import {html, useState} from "../lib/preact-htm.js";
import {ErrorText, useCommand} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";

const LABELS = /** @type {const} */ ([
    ["automaticDate", "Automatic date", "The PC's clock answers the unit's date question."],
    ["automaticMacAddress", "Automatic MAC address", "The address read from the unit answers its MAC question."],
    ["keepDataPartition", "Keep the data partition", "Otherwise the unit erases its data partition."],
]);

/**
 * @param {{port: curtain.PortDetails | undefined, locked: boolean,
 *   change: import("./port_feed.js").PortFeed["change"]}} props
 */
export function Settings({port, locked, change}) {
    const command = useCommand();
    // What was clicked, shown until the server's answer after it says what it holds.
    const [wanted, setWanted] = useState(/** @type {Partial<Record<string, boolean>>} */ ({}));
    return html`<section class="panel" aria-labelledby="settings-title">
        <h2 id="settings-title">3. Settings</h2>
        ${!port ? html`<p class="muted">Shown once a port is chosen.</p>` : LABELS.map(([key, label, hint]) => html`
            <div class="setting" key=${key}>
                <label><input type="checkbox" checked=${wanted[key] ?? port[key]} disabled=${locked || command.pending}
                    onChange=${(/** @type {any} */ e) => {
                        const on = e.currentTarget.checked;
                        setWanted({[key]: on});
                        command.run(() => change(() => curtain.setSetting(key, on))).finally(() => setWanted({}));
                    }}/> ${label}</label>
                <span class="hint">${hint}</span>
            </div>`)}
        <${ErrorText} message=${command.error}/>
    </section>`;
}
