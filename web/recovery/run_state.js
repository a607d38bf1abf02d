// One recovery run's state: Start, then the server's answers to "settings_ready" at a steady pace,
// each turned into a phase (progress, the unit's questions, a power cycle, the end or the failure).
// A run belongs to the port it ran on; when it ends, the ports are checked again, so that the next
// Start finds each console as it now is. A failure is the server's: it keeps it, with its step and
// reason, for every window until a new start or a dismissal, also when the port went meanwhile.
import {useCallback, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {describe, usePolling} from "../common/ui.js";
import {setLeaveGuard} from "../common/frame.js";
import * as curtain from "../common/api/curtain.js";
import {sendImage} from "./image.js";

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
 * The failure the server keeps, when it belongs to the port shown (or no port is chosen: the one that
 * failed may have gone with its adapter).
 * @param {curtain.RunRecord | null} run @param {curtain.PortDetails | undefined} port
 */
export function keptFailure(run, port) {
    return run && run.state === "failed" && (!port || run.port === port.name) ? run : null;
}

/**
 * The run on the selected port, as the server reports it.
 * @param {curtain.PortDetails | undefined} port
 * @param {import("./port_feed.js").PortFeed} feed
 */
export function useRun(port, feed) {
    const {change, refresh} = feed;
    const [phase, setPhaseState] = useState(/** @type {Phase} */ ("idle"));
    const [data, setData] = useState(/** @type {curtain.CommandData} */ ({}));
    const [failure, setFailure] = useState("");
    const [pollError, setPollError] = useState("");
    const [checkError, setCheckError] = useState("");
    const [checkingPorts, setCheckingPorts] = useState(false);
    const [asked, setAsked] = useState({mac: 0, date: 0});
    const phaseRef = useRef(phase);
    // Counts what the page told the server (a start, an answer, an image): a poll's answer that left
    // before it is dropped, so that a question already answered is not put again.
    const told = useRef(0);
    // The images that a run has started with: the server starts a run only on an image sent since.
    const started = useRef(new WeakSet()).current;
    const setPhase = useCallback((/** @type {Phase} */ next) => {
        phaseRef.current = next;
        setPhaseState(next);
    }, []);

    useEffect(() => setLeaveGuard(() => ACTIVE.has(phaseRef.current)), []);

    // A page opened while its port flashes picks the run up from the server's answers.
    useEffect(() => {
        if (port?.flashing && phaseRef.current === "idle") setPhase("running");
    }, [port?.flashing]);

    /** No run shown: no phase, progress or failure. */
    const clear = () => {
        setPhase("idle");
        setData({});
        setFailure("");
    };

    // Another port: the last port's run, its end or its failure, is not this one's.
    const portName = port?.name;
    useEffect(() => {
        if (ACTIVE.has(phaseRef.current)) return;
        clear();
        setCheckError("");
    }, [portName]);

    // A failure dismissed, or run again, in another window is over here too.
    const runState = feed.run?.state || "";
    const lastRunState = useRef(runState);
    useEffect(() => {
        if (lastRunState.current === "failed" && runState !== "failed" && phaseRef.current === "error") clear();
        lastRunState.current = runState;
    }, [runState]);

    // The end of a run changes what the console shows (a new system's shell, or silence).
    useEffect(() => {
        if (phase !== "done" && phase !== "error") return;
        setCheckingPorts(true);
        change(curtain.checkPorts).then(() => setCheckError(""), e => setCheckError(describe(e)))
            .finally(() => setCheckingPorts(false));
    }, [phase]);

    /** @param {curtain.RunAnswer | null} answer */
    const take = (answer) => {
        const command = answer?.command;
        if (!command) {
            // "{ }": the server has no selected port any more; its session went with the port, and the
            // server keeps the run's failure.
            setFailure("The server no longer has the unit's port: the adapter or the cable was probably pulled. " +
                "Plug it back, choose the port again and start again.");
            refresh();
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
        if (next === "error") {
            setFailure("");
            refresh();
        }
        setPhase(next);
    };

    usePolling(async () => {
        if (!POLLING.has(phaseRef.current)) return;
        const before = told.current;
        try {
            const answer = await curtain.settingsReady();
            setPollError("");
            if (POLLING.has(phaseRef.current) && before === told.current) take(answer);
        } catch (e) {
            setPollError(describe(e));
        }
    }, POLL_MS);

    /** Starts a run with the image the server holds for the port. @param {import("./image.js").Image} image */
    const start = (image) => change(async () => {
        told.current++;
        setPhase("starting");
        setFailure("");
        setCheckError("");
        setData({});
        setAsked({mac: 0, date: 0});
        try {
            await curtain.clearStatus();
            let answer = await curtain.settingsReady();
            if (answer?.command === "send_data_image") {
                // Sent when it was chosen; only a run again on the same image sends it anew.
                if (started.has(image)) await sendImage(image);
                started.add(image);
                answer = await curtain.settingsReady();
            }
            // "{ }": flashing has started; anything else is the run's own state.
            if (answer?.command) take(answer);
            else setPhase("running");
        } catch (e) {
            setPhase("idle");
            throw e;
        }
    });

    /** The technician's answer to a question; the run goes on. @param {"mac" | "date"} kind @param {string} value */
    const answer = async (kind, value) => {
        told.current++;
        if (kind === "mac") await curtain.answerMac(value);
        else await curtain.answerDate(value);
        told.current++;
        setPhase("running");
    };

    /** Lets the run's end go, in every window. */
    const dismiss = () => change(async () => {
        await curtain.dismissRun();
        clear();
    });

    /** Another image went to the waiting run: its progress starts afresh from the server's next answer. */
    const imageSent = () => {
        told.current++;
        setData({});
        setPhase("running");
    };

    return {phase, data, failure, pollError, checkError, checkingPorts, asked, start, answer, imageSent, dismiss};
}
