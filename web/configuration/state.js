// What the whole module shares: the configuration's name, and what the store says every window
// must agree on (the count of changes not yet saved, the step that Undo takes back, the changes
// made in other windows), read again whenever an answer carries a revision this page has not read.
// Every change reaches the store through one path, behind a savepoint of its own named for Undo.
// The page also knows when it does not know what the store holds: while the server is gone, and
// after it restarted until it has read the new run.
import {createContext, useContext} from "../lib/preact-htm.js";
import {ServerError, ServerGone, WINDOW, onServerState, serverRestarts} from "../common/client.js";
import * as tuna from "../common/api/tuna.js";
import {setLeaveGuard, setRestartDetail} from "../common/frame.js";

/** Names of rows by id, per referenced table, kept until the next change. */
const nameCache = new Map();

/**
 * How Undo names a row: by its name, else by its place.
 * @param {{label: string}} table @param {string | undefined} name @param {string | null | undefined} id
 */
export const rowLabel = (table, name, id) => name || (id ? `row ${id} of ${table.label}` : `a new row of ${table.label}`);

/** @param {number} count */
export const changes = count => `${count} unsaved change${count === 1 ? "" : "s"}`;

const RESTARTED_CHANGE = "The server restarted while the change was sent: it was not made here. Read what it holds now and try again.";

export class Session {
    constructor(/** @type {() => void} */ onUpdate) {
        this.onUpdate = onUpdate;
        /** The store's count of changes since the configuration was opened or saved, in any window. */
        this.unsaved = 0;
        /** The store's last undo step: its label and its savepoint's name. */
        this.lastStep = {label: "", name: ""};
        /** The store's revision that this page has read; `fresh` until the first reading after a start. */
        this.revision = 0;
        this.fresh = true;
        /** Grows with every change, so views know to read the store again. */
        this.version = 0;
        this.fileName = "";
        /** False while the page cannot know what the store holds: Save and Undo are not offered. */
        this.known = true;
        /** What the last file command or undo did; it goes with the next change. */
        this.notice = "";
        /** What other windows changed since this page's last own change. */
        this.elsewhere = "";
        /** Forms holding typed values that are not saved, by form: what they edit. @type {Map<object, string>} */
        this.drafts = new Map();
        /** True while the store is read again after a restart; `unread` when that failed. */
        this.rereading = false;
        this.unread = false;
        this.lostWords = "";
        this.gone = false;
        /** @type {Promise<void>} */
        this.reading = Promise.resolve();
        setLeaveGuard(() => this.unsaved > 0);
        let restarts = 0;
        onServerState(state => {
            if (state.restarts !== restarts) {
                restarts = state.restarts;
                this.restarted();
                return;
            }
            this.gone = state.gone;
            if (state.gone) this.known = false;
            else if (this.unread) this.reread();
            else if (!this.rereading) this.known = true;
            if (!state.gone && state.revision !== this.revision && !this.rereading) this.refresh().catch(() => undefined);
            this.onUpdate();
        });
    }

    touch() {
        this.version++;
        nameCache.clear();
        this.onUpdate();
    }

    /** @param {string} text */
    say(text) {
        this.notice = text;
        this.onUpdate();
    }

    /**
     * Reads what the store says now; views read again when another window changed what it holds.
     * One reading at a time, so that an older answer never overwrites a newer one.
     */
    refresh() {
        this.reading = this.reading.catch(() => undefined).then(async () => {
            const state = await tuna.storeState(this.revision);
            // What happened before this page read the store is no news.
            if (this.fresh) Object.assign(state, {changes: [], complete: true});
            this.fresh = false;
            const foreign = state.changes.filter(c => c.window !== WINDOW);
            const changed = foreign.filter(c => !c.saved).map(c => c.words);
            this.unsaved = state.unsaved;
            this.lastStep = {label: state.steps[state.steps.length - 1] ?? "", name: state.undoStep};
            if (changed.length || (!state.complete && state.revision !== this.revision)) {
                // What this page said of its own last command may no longer hold ("Saved as …").
                this.notice = "";
                this.elsewhere = state.complete ? `Changed in another window: ${changed.join("; ")}.` : "Changed in another window.";
                this.revision = state.revision;
                if (foreign.some(c => /^(Opened |Started )/.test(c.words))) await this.readName().catch(() => undefined);
                this.touch();
                return;
            }
            this.revision = Math.max(this.revision, state.revision);
            if (foreign.some(c => c.saved)) await this.readName().catch(() => undefined);
            this.onUpdate();
        });
        return this.reading;
    }

    /**
     * Runs one change behind its savepoint; Undo then names it by `label` ("Radio 0042 changed") in
     * every window. A change that fails steps back to its own savepoint at once, so that Undo never
     * lands on a step that changed nothing.
     * @template T @param {() => Promise<T>} action @param {string} [label] @returns {Promise<T>}
     */
    async change(action, label = "the last change") {
        if (this.gone) throw new ServerGone();
        if (!this.known) throw new ServerError("The page is reading what the restarted server holds; the change was not sent.");
        const run = serverRestarts();
        const step = await tuna.savepoint(label);
        // The run whose store holds the savepoint: the one that answered it.
        const stepRun = serverRestarts();
        let result;
        try {
            // The savepoint's answer may be the first from a restarted server: nothing goes to it.
            if (!this.known || stepRun !== run) throw new ServerError(RESTARTED_CHANGE);
            result = await action();
        } catch (e) {
            // Taken back in the store that holds it (unless that run is gone too), and read again:
            // Undo must not name a step that changed nothing.
            if (serverRestarts() === stepRun) await tuna.undo(step).then(() => this.refresh()).catch(() => undefined);
            throw e;
        }
        // The action's answer came from another run: the store there holds no savepoint of it.
        if (serverRestarts() !== run) throw new ServerError(RESTARTED_CHANGE);
        this.notice = "";
        this.elsewhere = "";
        await this.refresh();
        this.touch();
        return result;
    }

    /** What Undo would take back, or "" when there is nothing. */
    get undoLabel() {
        return this.known ? this.lastStep.label : "";
    }

    /** Takes back the store's last step, whoever made it; resolves to its label. */
    async undo() {
        const {label, name} = this.lastStep;
        if (!name || !this.known) return "";
        try {
            await tuna.undo(name);
        } catch (e) {
            // Another window changed the last step meanwhile: the button names it now.
            await this.refresh().catch(() => undefined);
            throw e;
        }
        this.elsewhere = "";
        await this.refresh();
        this.touch();
        return label;
    }

    /** After a load, a new file or a save: what the store counts now, and the configuration's name. */
    async settled() {
        this.elsewhere = "";
        await this.refresh();
        this.touch();
        await this.readName();
    }

    async readName() {
        this.fileName = await tuna.configurationName();
        this.onUpdate();
    }

    /**
     * A form holds typed values that are not saved (`what`: the row it edits), or no longer (null).
     * @param {object} form @param {string | null} what
     */
    draft(form, what) {
        if (what === null) this.drafts.delete(form);
        else this.drafts.set(form, what);
    }

    /** Another server run answers: what the old one held is gone; every view reads the new one. */
    restarted() {
        const lost = this.unsaved;
        const typed = [...this.drafts.values()];
        this.known = false;
        this.lastStep = {label: "", name: ""};
        this.unsaved = 0;
        this.revision = 0;
        this.fresh = true;
        this.elsewhere = "";
        const words = [];
        if (lost) words.push(`The ${changes(lost)} it held ${lost === 1 ? "is" : "are"} gone.`);
        if (typed.length) words.push(`What was typed into the form of ${typed.join(", ")} was not saved: `
            + "the row went with the earlier run, and the typed values stay in the form to copy.");
        this.lostWords = words.length ? words.join(" ") : "No unsaved change was lost.";
        this.touch();
        this.reread();
    }

    async reread() {
        this.rereading = true;
        this.unread = false;
        setRestartDetail(`${this.lostWords} Reading what it holds now…`);
        try {
            await this.readName();
            await this.refresh();
        } catch (e) {
            this.unread = true;
            setRestartDetail(`${this.lostWords} What it holds now is read when it answers again.`);
            return;
        } finally {
            this.rereading = false;
        }
        this.known = true;
        this.touch();
        setRestartDetail(`It now holds the configuration "${this.fileName}", the one it loads at start. ${this.lostWords}`);
    }
}

export const SessionContext = createContext(/** @type {Session} */ (/** @type {any} */ (null)));
export const useSession = () => useContext(SessionContext);

/** The register numbers its rows; everything else refers to them as "id" and the number. @param {string} id */
export const registerId = id => /^\d+$/.test(id) ? `id${id}` : id;

/**
 * Names of the rows of a table by id (objects of every kind for the register "ids").
 * @param {string} table @returns {Promise<Map<string, string>>}
 */
export function namesOf(table) {
    let names = nameCache.get(table);
    if (!names) {
        names = tuna.listRows(table, ["name"]).then(rows => {
            const map = new Map();
            // The register names rows without a name of their own "name"; they cannot be chosen.
            if (table !== "ids") for (const row of rows) map.set(row.id, row.name);
            else for (const row of rows) if (row.name !== "name") map.set(registerId(row.id), row.name);
            return map;
        });
        names.catch(() => nameCache.delete(table));
        nameCache.set(table, names);
    }
    return names;
}
