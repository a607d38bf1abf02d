// One recovery run: Start, then the server's answers to "settings_ready" at a steady pace, each
// shown in words: progress, the unit's questions, a power cycle, the end or the failure.
import {html, useCallback, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {ErrorText, Progress, describe, useCommand, usePolling} from "../common/ui.js";
import {setLeaveGuard} from "../common/frame.js";
import * as curtain from "../common/api/curtain.js";
import {chooseAndSendImage} from "./image.js";
import {QuestionDialog} from "./questions.js";
import {formatDate, formatSize} from "./checks.js";

const POLL_MS = 500;

/** @typedef {"idle" | "starting" | "running" | "power" | "mac" | "date" | "image" | "done" | "error"} Phase */

/** Phases in which the unit is being written or waits for the technician. */
const ACTIVE = new Set(["starting", "running", "power", "mac", "date", "image"]);
/** Phases in which the page keeps asking the server. */
const POLLING = new Set(["running", "power"]);

const PHASE_OF = /** @type {Record<string, Phase>} */ ({
    progress: "running",
    user_info: "power",
    send_mac_address: "mac",
    send_date: "date",
    send_new_data_image: "image",
    idle: "image",
    error: "error",
    all_done: "done",
});

export function isActive(/** @type {Phase} */ phase) {
    return ACTIVE.has(phase);
}

/**
 * The run's state as the server reports it.
 * @param {curtain.PortDetails | undefined} port
 */
export function useRun(port) {
    const [phase, setPhaseState] = useState(/** @type {Phase} */ ("idle"));
    const [data, setData] = useState(/** @type {curtain.CommandData} */ ({}));
    const [failure, setFailure] = useState("");
    const [pollError, setPollError] = useState("");
    const [asked, setAsked] = useState({mac: 0, date: 0});
    const phaseRef = useRef(phase);
    const setPhase = useCallback((/** @type {Phase} */ next) => {
        phaseRef.current = next;
        setPhaseState(next);
    }, []);

    useEffect(() => setLeaveGuard(() => ACTIVE.has(phaseRef.current)), []);

    // A page opened while its port flashes picks the run up from the server's answers.
    useEffect(() => {
        if (port?.flashing && !ACTIVE.has(phaseRef.current)) setPhase("running");
    }, [port?.flashing]);

    /** @param {curtain.RunAnswer | null} answer */
    const take = (answer) => {
        const command = answer?.command;
        if (!command) {
            // "{ }": the server has no selected port any more; its session went with the port.
            setFailure("The server no longer has the unit's port: the adapter or the cable was probably pulled. " +
                "Plug it back, choose the port again and start again.");
            return setPhase("error");
        }
        if (command === "send_data_image") {
            setFailure("The server asks for the image again: it did not take the one sent. Choose the image again " +
                "and press Start.");
            return setPhase("error");
        }
        const next = PHASE_OF[command];
        if (!next) return; // a word this page does not know: the next answer says more
        if (answer.commandData) setData(answer.commandData);
        if ((next === "mac" || next === "date") && phaseRef.current !== next)
            setAsked(old => ({...old, [next]: old[next] + 1}));
        if (next === "error") setFailure("");
        setPhase(next);
    };

    usePolling(async () => {
        if (!POLLING.has(phaseRef.current)) return;
        try {
            const answer = await curtain.settingsReady();
            setPollError("");
            if (POLLING.has(phaseRef.current)) take(answer);
        } catch (e) {
            setPollError(describe(e));
        }
    }, POLL_MS);

    /** @param {File} file */
    const start = async (file) => {
        setPhase("starting");
        setFailure("");
        setData({});
        setAsked({mac: 0, date: 0});
        try {
            await curtain.clearStatus();
            let answer = await curtain.settingsReady();
            if (answer?.command === "send_data_image") {
                await curtain.uploadImage(file);
                answer = await curtain.settingsReady();
            }
            // "{ }": flashing has started; anything else is the run's own state.
            if (answer?.command) take(answer);
            else setPhase("running");
        } catch (e) {
            setPhase("idle");
            throw e;
        }
    };

    /** The technician's answer to a question; the run goes on. @param {"mac" | "date"} kind @param {string} value */
    const answer = async (kind, value) => {
        if (kind === "mac") await curtain.answerMac(value);
        else await curtain.answerDate(value);
        setPhase("running");
    };

    const imageSent = () => setPhase("running");

    return {phase, data, failure, pollError, asked, start, answer, imageSent};
}

/** @param {{run: ReturnType<typeof useRun>, port: curtain.PortDetails | undefined,
 *   image: import("./image.js").Image | null, setImage: (i: any) => void}} props */
export function RunPanel({run, port, image, setImage}) {
    const {phase, data} = run;
    const starting = useCommand();
    const replacing = useCommand();
    const [dialogShown, setDialogShown] = useState(true);
    useEffect(() => setDialogShown(true), [phase, run.asked.mac, run.asked.date]);

    const canStart = !!port && !!image && !isActive(phase) && !port.flashing;
    const overall = data.overallOperationProgress ?? 0;
    const current = data.currentOperationProgress ?? 0;
    const step = data.currentOperationDescription || "";
    const showBars = phase !== "idle" && phase !== "starting" && data.overallOperationProgress !== undefined;

    const headline = {
        idle: port && image ? `Ready: Start recovers the unit on ${port.name}.` : "Choose a port and an image, then press Start.",
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
                onClick=${() => replacing.run(async () => {
                    const taken = await chooseAndSendImage();
                    if (!taken) return;
                    setImage(taken);
                    run.imageSent();
                })}>Choose image…</button></div>
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
                onClick=${() => starting.run(() => run.start(/** @type {any} */ (image).file))}>Start</button>
        </div>
        <${ErrorText} message=${starting.error || run.pollError}/>
        ${question}
    </section>`;
}
