// The run's panel: Start, the headline of the selected port's run, its progress, the unit's
// questions and what to do when it waits or fails.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, Progress, useCommand} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";
import {chooseImage, isLoaded, sendImage} from "./image.js";
import {QuestionDialog} from "./questions.js";
import {formatDate, formatSize} from "./checks.js";
import {isActive} from "./run_state.js";

/**
 * @param {{run: ReturnType<typeof import("./run_state.js").useRun>, port: curtain.PortDetails | undefined,
 *   image: import("./image.js").Image | null, setImage: (i: import("./image.js").Image) => void,
 *   sending: boolean, change: import("./port_feed.js").PortFeed["change"], blocked: string}} props
 */
export function RunPanel({run, port, image, setImage, sending, change, blocked}) {
    const {phase, data} = run;
    const starting = useCommand();
    const replacing = useCommand();
    const [dialogShown, setDialogShown] = useState(true);
    useEffect(() => setDialogShown(true), [phase, run.asked.mac, run.asked.date]);

    const loaded = isLoaded(image, port);
    const checking = !!port?.checking || run.checkingPorts;
    const canStart = !!port && loaded && !sending && !isActive(phase) && !port.flashing && !checking && !blocked;
    const overall = data.overallOperationProgress ?? 0;
    const current = data.currentOperationProgress ?? 0;
    const step = data.currentOperationDescription || "";
    const showBars = phase !== "idle" && phase !== "starting" && data.overallOperationProgress !== undefined;

    const idle = !port ? "Choose a port and an image, then press Start."
        : checking ? `Checking what answers on ${port.name}…`
        : loaded ? `Ready: Start recovers the unit on ${port.name}.`
        : `Choose an image for the unit on ${port.name}, then press Start.`;
    const headline = {
        idle,
        starting: "Starting: the image goes to the server…",
        running: "Writing the unit. Keep it powered and connected.",
        power: "Waiting for you: power-cycle the unit.",
        mac: "Waiting for you: the unit asks for its MAC address.",
        date: "Waiting for you: the unit asks for the date and time.",
        image: "Waiting for you: the unit needs another image.",
        done: "Finished: the unit is recovered and runs its new system.",
        error: "Failed: the recovery stopped.",
    }[phase];

    const question = (phase === "mac" || phase === "date") && dialogShown && html`<${QuestionDialog}
        key=${phase + run.asked[phase]} kind=${phase} again=${run.asked[phase] > 1}
        proposal=${phase === "mac" ? (port?.macAddress || "") : formatDate()}
        answer=${(/** @type {string} */ value) => run.answer(phase, value)} close=${() => setDialogShown(false)}/>`;

    const replace = () => replacing.run(async () => {
        if (!port) return;
        const chosen = await chooseImage(port.name);
        if (!chosen) return;
        await change(() => sendImage(chosen));
        setImage(chosen);
        run.imageSent();
    });

    return html`<section class="panel run" aria-labelledby="run-title">
        <h2 id="run-title">5. Recovery</h2>
        <p class=${"headline " + phase} role="status" aria-live="polite">${headline}</p>
        ${phase === "power" && html`<div class="user-info" role="alert">
            <strong>${data.userInfo || "Power Cycle Central Unit"}</strong>
            <p>Switch the unit off and on again. The recovery goes on by itself as soon as its boot loader answers.</p>
        </div>`}
        ${phase === "error" && html`<div class="failure" role="alert">
            <p>${run.failure || `It failed while ${step ? `“${step}”` : "starting"} (overall ${overall} %).`}</p>
            <p>What to do: check the console cable and the unit's power, press Check ports, then Start again. The unit
                keeps what was written so far; a new recovery starts from the beginning.</p>
        </div>`}
        ${phase === "done" && html`<p class="success">The unit took the image, answered its questions and showed its
            prompt. You can disconnect it, or start another recovery.</p>`}
        ${phase === "image" && html`<div class="user-info" role="alert">
            <strong>The unit needs another image.</strong>
            <p>${port && port.flashSizeMb > 0 ? `Its flash holds ${port.flashSizeMb} MiB` : "Its flash has another size"}${
                image ? `, but the image is ${formatSize(image.size)}` : ""}: choose an image of the unit's size.</p>
            <div class="buttons"><button type="button" class="primary" disabled=${replacing.pending}
                onClick=${replace}>Choose image…</button></div>
            <${ErrorText} message=${replacing.error}/>
        </div>`}
        ${(phase === "mac" || phase === "date") && !dialogShown && html`<div class="user-info">
            <strong>The unit waits for your answer.</strong>
            <div class="buttons"><button type="button" class="primary" onClick=${() => setDialogShown(true)}>
                Answer the unit</button></div>
        </div>`}
        ${showBars && html`<div class="bars">
            <${Progress} value=${overall} label=${`Overall ${overall} %`}
                state=${phase === "error" ? "error" : phase === "done" ? "success" : ""}/>
            <${Progress} value=${current} label=${step ? `${step} (${current} %)` : `Step ${current} %`}/>
        </div>`}
        <div class="buttons">
            <button type="button" class="primary start" disabled=${!canStart || starting.pending}
                onClick=${() => image && starting.run(() => run.start(image))}>Start</button>
        </div>
        ${blocked && !isActive(phase) && html`<p class="hint">Start is disabled: ${blocked}.</p>`}
        <${ErrorText} message=${starting.error || run.pollError || run.checkError}/>
        ${question}
    </section>`;
}
