// The run's panel: Start, the headline of the selected port's run, its progress, the unit's
// questions and what to do when it waits or fails.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import {ErrorText, Progress, useCommand} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";
import {chooseImage, isLoaded, sendImage} from "./image.js";
import {QuestionDialog} from "./questions.js";
import {formatDate, formatSize} from "./checks.js";
import {isActive, keptFailure} from "./run_state.js";

const TRANSFER_STEP = "uploading the image";

/** What the technician can do after a failure, by the server's word for its kind. */
const ADVICE = /** @type {Record<string, string>} */ ({
    console: "plug the USB serial adapter and the unit's console cable back in; the port shows here again within " +
        "a few seconds. Choose it and press Start: a new recovery starts from the beginning. Keep the unit powered.",
    consoleBack: "the port is back: press Start, and a new recovery starts from the beginning. Keep the unit powered.",
    silent: "check the console cable and the unit's power, press Check ports, then Start again. The unit keeps what " +
        "was written so far; a new recovery starts from the beginning.",
    transfer: "check the network cable between the PC and the unit, and that no other device uses the unit address, " +
        "then press Start again: the unit fetches the whole image anew.",
    checksum: "press Start again: the unit fetches the image anew. If it fails again, check the network cable " +
        "between the PC and the unit.",
    answer: "press Check ports, then Start again; a new recovery starts from the beginning.",
});

/** "524,700 of 67,108,864 bytes". @param {number} done @param {number} total */
const bytesText = (done, total) => `${done.toLocaleString("en")} of ${total.toLocaleString("en")} bytes`;

/**
 * @param {{run: ReturnType<typeof import("./run_state.js").useRun>, port: curtain.PortDetails | undefined,
 *   image: import("./image.js").Image | null, setImage: (i: import("./image.js").Image) => void,
 *   sending: boolean, feed: import("./port_feed.js").PortFeed, blocked: string}} props
 */
export function RunPanel({run, port, image, setImage, sending, feed, blocked}) {
    const {phase, data} = run;
    const {change} = feed;
    const starting = useCommand();
    const replacing = useCommand();
    const dismissing = useCommand();
    const [dialogShown, setDialogShown] = useState(true);
    useEffect(() => setDialogShown(true), [phase, run.asked.mac, run.asked.date]);

    // The server's failure, until a new start or a dismissal; a run under way is shown instead.
    const kept = isActive(phase) ? null : keptFailure(feed.run, port);
    const shown = kept ? "error" : phase;
    const loaded = isLoaded(image, port);
    const checking = !!port?.checking || run.checkingPorts;
    const addressProblem = port ? feed.addressProblem : "";
    const canStart = !!port && loaded && !sending && !isActive(phase) && !port.flashing && !checking && !addressProblem &&
        !blocked;
    const overall = kept ? kept.overall : data.overallOperationProgress ?? 0;
    const current = kept ? kept.current : data.currentOperationProgress ?? 0;
    const step = kept ? kept.step : data.currentOperationDescription || "";
    const showBars = !!kept || (phase !== "idle" && phase !== "starting" && data.overallOperationProgress !== undefined);
    // The image transfer is told in the bytes the unit fetched: its percentage stays 0 for long.
    const record = kept || (feed.run?.state === "running" && isActive(phase) ? feed.run : null);
    const fetched = record && step === TRANSFER_STEP && record.imageBytes > 0
        ? bytesText(record.fetched, record.imageBytes) : "";

    const idle = !port ? "Choose a port and an image, then press Start."
        : checking ? `Checking what answers on ${port.name}…`
        : addressProblem ? "Not ready: the unit could not reach the PC with these addresses."
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
    }[shown];
    const failedWhile = `It failed while ${step ? `“${step}”` : "starting"} (overall ${overall} %)`;

    const question = (phase === "mac" || phase === "date") && dialogShown && html`<${QuestionDialog}
        key=${phase + run.asked[phase]} kind=${phase} again=${run.asked[phase] > 1}
        propose=${phase === "mac" ? () => port?.macAddress || "" : () => formatDate()}
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
        <p class=${"headline " + shown} role="status" aria-live="polite">${headline}</p>
        ${phase === "power" && html`<div class="user-info" role="alert">
            <strong>${data.userInfo || "Power Cycle Central Unit"}</strong>
            <p>Switch the unit off and on again. The recovery goes on by itself as soon as its boot loader answers.</p>
        </div>`}
        ${shown === "error" && html`<div class="failure" role="alert">
            <p>${kept ? `${failedWhile}${kept.reason ? `: ${kept.reason}` : ""}.` : run.failure || `${failedWhile}.`}</p>
            <p>What to do: ${ADVICE[kept?.cause === "console" && port ? "consoleBack" : kept?.cause || "silent"]
                || ADVICE.answer}</p>
            ${kept && html`<div class="buttons"><button type="button" disabled=${dismissing.pending}
                title="Clears this failure in every window" onClick=${() => dismissing.run(run.dismiss)}>Dismiss</button></div>`}
            <${ErrorText} message=${dismissing.error}/>
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
                state=${shown === "error" ? "error" : shown === "done" ? "success" : ""}/>
            <${Progress} value=${current} label=${fetched ? `${step}: ${fetched}` : step ? `${step} (${current} %)`
                : `Step ${current} %`}/>
        </div>`}
        <div class="buttons">
            <button type="button" class="primary start" disabled=${!canStart || starting.pending}
                aria-describedby=${addressProblem ? "start-reason" : undefined}
                onClick=${() => image && starting.run(() => run.start(image))}>Start</button>
        </div>
        ${addressProblem && html`<p class="error" id="start-reason">${
            `Start waits for addresses that work together: ${addressProblem} Change the PC address or the unit address.`}</p>`}
        ${blocked && !isActive(phase) && html`<p class="hint">Start is disabled: ${blocked}.</p>`}
        <${ErrorText} message=${starting.error || run.pollError || run.checkError}/>
        ${question}
    </section>`;
}
