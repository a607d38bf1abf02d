// The unit's questions during its first boot, put to the technician with the proposed answer.
import {html, useRef, useState} from "../lib/preact-htm.js";
import {Dialog, ErrorText, usePolling} from "../common/ui.js";
import {dateProblem, macProblem} from "./checks.js";

const QUESTIONS = {
    mac: {
        title: "The unit asks for its MAC address",
        text: "Type the MAC address on the unit's label. The address read from the unit is proposed.",
        label: "MAC address",
        check: macProblem,
        normalise: (/** @type {string} */ t) => t.trim().toLowerCase(),
    },
    date: {
        title: "The unit asks for the date and time",
        text: "The PC's clock is proposed, as YYYY-MM-DD hh:mm.",
        label: "Date and time",
        check: dateProblem,
        normalise: (/** @type {string} */ t) => t.trim(),
        // The clock goes on while the question waits: what is sent is the time of sending.
        live: true,
    },
};

// A proposal that follows the clock shows each new minute within this.
const CLOCK_MS = 1000;

/**
 * The proposal stands until the technician edits it; a live one (the date) is taken anew when sent.
 * @param {{kind: "mac" | "date", propose: () => string, again: boolean,
 *   answer: (value: string) => Promise<void>, close: () => void}} props
 */
export function QuestionDialog({kind, propose, again, answer, close}) {
    const question = QUESTIONS[kind];
    const [text, setText] = useState(propose);
    const edited = useRef(false);
    const [error, setError] = useState("");
    const [sending, setSending] = useState(false);
    const live = "live" in question && question.live;
    usePolling(() => {
        if (live && !edited.current) setText(propose());
    }, CLOCK_MS);
    const submit = async (/** @type {Event} */ event) => {
        event.preventDefault();
        const value = question.normalise(live && !edited.current ? propose() : text);
        const problem = question.check(value);
        if (problem) return setError(problem);
        setSending(true);
        try {
            await answer(value);
        } catch (e) {
            setError(String(/** @type {any} */ (e).message || e));
            setSending(false);
        }
    };
    return html`<${Dialog} title=${question.title} onClose=${close}>
        <form onSubmit=${submit} class="question">
            <p class="dialog-text">${question.text}</p>
            ${again && html`<p class="error">The unit did not take the last answer and asks again.</p>`}
            <label for="question-answer">${question.label}</label>
            <input id="question-answer" class="mono" value=${text} autofocus aria-invalid=${error ? "true" : undefined}
                aria-describedby=${error ? "question-error" : undefined}
                onInput=${(/** @type {any} */ e) => {
                    edited.current = true;
                    setText(e.currentTarget.value);
                }}/>
            <${ErrorText} id="question-error" message=${error}/>
            <div class="buttons">
                <button type="submit" class="primary" disabled=${sending}>Send to the unit</button>
                <button type="button" onClick=${close}>Later</button>
            </div>
        </form>
    <//>`;
}
