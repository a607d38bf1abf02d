// What the server says of a job, in words a technician can act on: its refusals, its failures with
// their reasons, and the trouble of a progress question.

/** The server's refusal words (a unit's answer to a job it will not start), as sentences. */
const REFUSALS = /** @type {Record<string, string>} */ ({
    "command not supported": "this unit's protocol version does not offer this job",
    "operation in progress": "a job is already running on the unit",
    "Central Unit is not responding": "the unit is not responding at the moment",
    "down": "the unit is down: it does not answer",
    "Central Unit is locked": "the unit is locked: unlock it first",
    "already done": "control of the unit is already taken",
    "busy": "the unit is busy: try again in a moment",
    "no unit": "the unit is no longer on the network",
});

/** @param {string} text */
function sentence(text) {
    const trimmed = text.trim();
    if (!trimmed) return "";
    const first = trimmed[0].toUpperCase() + trimmed.slice(1);
    return /[.!?]$/.test(first) ? first : `${first}.`;
}

/** Why a unit refused a job, as a sentence. @param {string | undefined} description */
export function refusalText(description) {
    const said = description || "";
    return `Refused: ${sentence(REFUSALS[said] ?? (said || "the server gave no reason"))}`;
}

/**
 * Words for a failed program: the server's reason (and its result text when it names one), and the
 * last step of work the job reported.
 * @param {{code?: number, description?: string, reason?: string}} reply @param {string} work
 */
export function failureText(reply, work) {
    const known = reply.description && reply.description !== "Unknown" ? reply.description : "";
    const why = reply.reason || "the unit did not finish it";
    const reason = known ? `${why} (${known})` : why;
    const where = work ? ` while ${work}` : "";
    return `Failed${where}: ${sentence(reason)}`;
}

/** The result code of a failed program, for the log. @param {{code?: number}} reply */
export function codeText(reply) {
    return typeof reply.code === "number" ? ` (code ${reply.code})` : "";
}
