// What the whole module shares: the configuration's name, the count of changes not yet saved, and
// the one way every change reaches the store (behind its own savepoint, so Undo steps back one).
import {createContext, useContext} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {setLeaveGuard} from "../common/frame.js";

/** Names of rows by id, per referenced table, kept until the next change. */
const nameCache = new Map();

export class Session {
    constructor(/** @type {() => void} */ onUpdate) {
        this.onUpdate = onUpdate;
        this.unsaved = 0;
        /** Grows with every change, so views know to read the store again. */
        this.version = 0;
        this.fileName = "";
        setLeaveGuard(() => this.unsaved > 0);
    }

    touch() {
        this.version++;
        nameCache.clear();
        this.onUpdate();
    }

    /** Counts a change that was made elsewhere (announcements, translations, icons). */
    counted() {
        this.unsaved++;
        this.touch();
    }

    /**
     * Runs one change behind its savepoint. A change that fails steps back to that savepoint at
     * once, so that Undo never lands on a step that changed nothing.
     * @template T @param {() => Promise<T>} action @returns {Promise<T>}
     */
    async change(action) {
        await tuna.savepoint();
        let result;
        try {
            result = await action();
        } catch (e) {
            await tuna.undo().catch(() => undefined);
            throw e;
        }
        this.counted();
        return result;
    }

    async undo() {
        await tuna.undo();
        // Undoing a change made since the last save brings the file closer; undoing one before it
        // makes the configuration differ from the file.
        this.unsaved = this.unsaved > 0 ? this.unsaved - 1 : this.unsaved + 1;
        this.touch();
    }

    /** After a load, a new file or a save: nothing is unsaved. */
    async settled() {
        this.unsaved = 0;
        this.touch();
        await this.readName();
    }

    async readName() {
        this.fileName = await tuna.configurationName();
        this.onUpdate();
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
