// Small components that every module shares: errors beside their control, buttons, dialogs,
// confirmations and progress. Every text goes in as text: nothing here writes markup.
import {html, useCallback, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {ServerError, onServerState, saysGone} from "./client.js";

/** The words of any failure, for a person. @param {unknown} error */
export function describe(error) {
    if (error instanceof ServerError) return error.message;
    if (error instanceof Error) return error.message;
    return String(error);
}

/**
 * An error said beside the control that caused it; nothing when there is none. "The server does not
 * answer" ends with the server's next answer.
 */
export function ErrorText({message, id = undefined}) {
    const [answered, setAnswered] = useState(false);
    useEffect(() => {
        setAnswered(false);
        if (!saysGone(message)) return undefined;
        return onServerState(state => { if (!state.gone) setAnswered(true); });
    }, [message]);
    if (!message || answered) return null;
    return html`<p class="error" role="alert" id=${id}>${message}</p>`;
}

/**
 * Runs commands for one control and keeps their last failure, so the control can say it.
 * `run(fn)` resolves to fn's result, or undefined when it failed.
 */
export function useCommand() {
    const [pending, setPending] = useState(false);
    const [error, setError] = useState("");
    const run = useCallback(async (/** @type {() => Promise<any>} */ fn) => {
        setPending(true);
        setError("");
        try {
            return await fn();
        } catch (e) {
            setError(describe(e));
            return undefined;
        } finally {
            setPending(false);
        }
    }, []);
    return {run, pending, error, setError};
}

/**
 * A modal dialog on the browser's own <dialog>: focus stays inside, Escape closes it.
 * `onClose` is called once whichever way it closes.
 */
export function Dialog({title, onClose, children, className = ""}) {
    const ref = useRef(/** @type {HTMLDialogElement | null} */ (null));
    const titleId = useRef(`dialog-${Math.random().toString(36).slice(2)}`).current;
    useEffect(() => {
        const dialog = ref.current;
        if (!dialog) return;
        if (!dialog.open) dialog.showModal();
        const close = () => onClose();
        dialog.addEventListener("close", close);
        return () => {
            dialog.removeEventListener("close", close);
            if (dialog.open) dialog.close();
        };
    }, []);
    return html`<dialog ref=${ref} class=${"dialog " + className} aria-labelledby=${titleId}>
        <h2 id=${titleId}>${title}</h2>
        ${children}
    </dialog>`;
}

/**
 * A question with a confirming and a cancelling answer. `answer(true | false)` is called once.
 */
export function ConfirmDialog({title, text, confirmLabel = "OK", cancelLabel = "Cancel", danger = false, answer}) {
    const answered = useRef(false);
    const say = (/** @type {boolean} */ yes) => {
        if (answered.current) return;
        answered.current = true;
        answer(yes);
    };
    return html`<${Dialog} title=${title} onClose=${() => say(false)}>
        <p class="dialog-text">${text}</p>
        <div class="buttons">
            <button type="button" class=${danger ? "danger" : "primary"} onClick=${() => say(true)}>${confirmLabel}</button>
            <button type="button" autofocus onClick=${() => say(false)}>${cancelLabel}</button>
        </div>
    <//>`;
}

/**
 * Asks through ConfirmDialog from code: `const [ask, dialog] = useConfirm()`, render `dialog`, and
 * `await ask({title, text})` resolves to true or false.
 */
export function useConfirm() {
    const [question, setQuestion] = useState(/** @type {any} */ (null));
    const ask = useCallback((/** @type {{title: string, text: string, confirmLabel?: string, danger?: boolean}} */ q) =>
        new Promise(resolve => setQuestion({...q, resolve})), []);
    const dialog = question && html`<${ConfirmDialog} ...${question} answer=${(/** @type {boolean} */ yes) => {
        setQuestion(null);
        question.resolve(yes);
    }}/>`;
    return /** @type {[typeof ask, any]} */ ([ask, dialog]);
}

/** A progress bar with its step in words. `value` in 0..100, or null while not yet known. */
export function Progress({value, label, state = ""}) {
    return html`<div class=${"progress " + state}>
        <progress max="100" value=${value ?? undefined} aria-label=${label || "progress"}></progress>
        <span class="progress-text">${label}</span>
    </div>`;
}

/** Calls `tick` now and every `ms` while mounted; a slow tick is never overlapped by the next. */
export function usePolling(tick, ms, inputs = []) {
    useEffect(() => {
        let stopped = false;
        let timer = 0;
        const loop = async () => {
            const started = Date.now();
            try {
                await tick();
            } catch (e) { /* a failed poll is said by the tick itself; the next one tries again */ }
            if (!stopped) timer = setTimeout(loop, Math.max(0, ms - (Date.now() - started)));
        };
        loop();
        return () => {
            stopped = true;
            clearTimeout(timer);
        };
    }, inputs);
}
