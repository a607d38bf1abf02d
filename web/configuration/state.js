// What the whole module shares: the configuration's name, the count of changes not yet saved, the
// steps that Undo can take back, and the one way every change reaches the store (behind its own
// savepoint, so Undo steps back exactly one). It also knows when it does not know what the store
// holds: while the server is gone, and after it restarted until the views have read it again.
import {createContext, useContext} from "../lib/preact-htm.js";
import {ServerError, ServerGone, onServerState} from "../common/client.js";
import * as tuna from "../common/api/tuna.js";
import {setLeaveGuard, setRestartDetail} from "../common/frame.js";

/** Names of rows by id, per referenced table, kept until the next change. */
const nameCache = new Map();

// The store keeps this many savepoints for undo; older steps cannot be taken back.
const UNDO_DEPTH = 64;

/**
 * @typedef {{label: string, sinceSave: boolean}} Step
 * `sinceSave`: made after the last save, so taking it back brings the configuration closer to the
 * file; a step from before it makes the configuration differ from the file.
 */

/**
 * How Undo names a row: by its name, else by its place.
 * @param {{label: string}} table @param {string | undefined} name @param {string | null | undefined} id
 */
export const rowLabel = (table, name, id) => name || (id ? `row ${id} of ${table.label}` : `a new row of ${table.label}`);

/** @param {number} count */
export const changes = count => `${count} unsaved change${count === 1 ? "" : "s"}`;

export class Session {
    constructor(/** @type {() => void} */ onUpdate) {
        this.onUpdate = onUpdate;
        this.unsaved = 0;
        /** Grows with every change, so views know to read the store again. */
        this.version = 0;
        this.fileName = "";
        /** @type {Step[]} */
        this.steps = [];
        /** False while the page cannot know what the store holds: Save and Undo are not offered. */
        this.known = true;
        /** What the last file command or undo did; it goes with the next change. */
        this.notice = "";
        /** True while the store is read again after a restart; `unread` when that failed. */
        this.rereading = false;
        this.unread = false;
        this.lostWords = "";
        this.gone = false;
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
            this.onUpdate();
        });
    }

    touch() {
        this.version++;
        nameCache.clear();
        this.notice = "";
        this.onUpdate();
    }

    /** @param {string} text */
    say(text) {
        this.notice = text;
        this.onUpdate();
    }

    /** Counts a change that the store cannot take back (an icon): it is unsaved, but no Undo step. */
    counted() {
        this.unsaved++;
        this.touch();
    }

    /**
     * Runs one change behind its savepoint; Undo then names it by `label` ("Radio 0042 changed").
     * A change that fails steps back to that savepoint at once, so that Undo never lands on a step
     * that changed nothing.
     * @template T @param {() => Promise<T>} action @param {string} [label] @returns {Promise<T>}
     */
    async change(action, label = "the last change") {
        if (this.gone) throw new ServerGone();
        if (!this.known) throw new ServerError("The page is reading what the restarted server holds; the change was not sent.");
        await tuna.savepoint();
        let result;
        try {
            // The savepoint's answer may be the first from a restarted server: nothing goes to it.
            if (!this.known) throw new ServerError("The server restarted: the change was not made. Read what it holds now and try again.");
            result = await action();
        } catch (e) {
            await tuna.undo().catch(() => undefined);
            throw e;
        }
        this.steps.push({label, sinceSave: true});
        if (this.steps.length > UNDO_DEPTH) this.steps.shift();
        this.unsaved++;
        this.touch();
        return result;
    }

    /** What Undo would take back, or "" when there is nothing. */
    get undoLabel() {
        return this.known && this.steps.length ? this.steps[this.steps.length - 1].label : "";
    }

    /** Takes back the newest step; resolves to its label. */
    async undo() {
        const step = this.steps[this.steps.length - 1];
        if (!step || !this.known) return "";
        try {
            await tuna.undo();
        } catch (e) {
            // The store has no savepoint left: the page's steps are no longer its steps.
            if (e instanceof ServerError && e.status !== 0) this.steps = [];
            this.onUpdate();
            throw e;
        }
        this.steps.pop();
        this.unsaved += step.sinceSave ? -1 : 1;
        this.touch();
        return step.label;
    }

    /** After a load, a new file or a restart: nothing is unsaved and there is nothing to undo. */
    async settled() {
        this.steps = [];
        await this.saved();
    }

    /** After a save: the file holds every step; Undo can still take them back. */
    async saved() {
        for (const step of this.steps) step.sinceSave = false;
        this.unsaved = 0;
        this.touch();
        await this.readName();
    }

    async readName() {
        this.fileName = await tuna.configurationName();
        this.onUpdate();
    }

    /** Another server run answers: what this page changed is gone; every view reads the store again. */
    restarted() {
        const lost = this.unsaved;
        this.known = false;
        this.steps = [];
        this.unsaved = 0;
        this.lostWords = lost ? `The ${changes(lost)} made on this page ${lost === 1 ? "is" : "are"} gone.`
            : "No unsaved change of this page was lost.";
        this.touch();
        this.reread();
    }

    async reread() {
        this.rereading = true;
        this.unread = false;
        setRestartDetail(`${this.lostWords} Reading what it holds now…`);
        try {
            await this.readName();
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
