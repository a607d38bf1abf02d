// The serial ports as the server last described them. One request at a time, and an answer that
// left before a change to the server had ended is dropped: an older answer never undoes a newer
// state (a setting flipping back, a run that has ended showing as running again).
import {useCallback, useRef, useState} from "../lib/preact-htm.js";
import {describe, usePolling} from "../common/ui.js";
import * as curtain from "../common/api/curtain.js";

// New and vanished ports show within this.
const PORTS_MS = 2000;

/**
 * @typedef {{ports: curtain.PortDetails[] | null, run: curtain.RunRecord | null, addressProblem: string,
 *   error: string, refresh: () => Promise<void>, change: <T>(command: () => Promise<T>) => Promise<T>}} PortFeed
 */

/** @returns {PortFeed} */
export function usePortFeed() {
    const [state, setState] = useState(/** @type {curtain.RecoveryState | null} */ (null));
    const [error, setError] = useState("");
    // `changes` counts the starts and ends of changes; `changing` the changes under way.
    const feed = useRef({asking: /** @type {Promise<void> | null} */ (null), again: false, changes: 0, changing: 0}).current;

    const ask = async () => {
        do {
            feed.again = false;
            const changes = feed.changes;
            try {
                const answer = await curtain.portDetails();
                if (changes === feed.changes && feed.changing === 0) setState(answer);
                setError("");
            } catch (e) {
                setError(describe(e));
            }
        } while (feed.again);
    };

    /** Asks for the ports; while a request is out, one more is asked after it. */
    const refresh = useCallback(() => {
        if (feed.asking) {
            feed.again = true;
            return feed.asking;
        }
        feed.asking = ask().finally(() => {
            feed.asking = null;
        });
        return feed.asking;
    }, []);

    /** Runs a command that changes what the ports show, then asks for them. */
    const change = useCallback(async (/** @type {() => Promise<any>} */ command) => {
        feed.changes++;
        feed.changing++;
        try {
            return await command();
        } finally {
            feed.changing--;
            feed.changes++;
            await refresh();
        }
    }, []);

    usePolling(refresh, PORTS_MS);
    return {ports: state ? state.ports : null, run: state?.run ?? null, addressProblem: state?.addressProblem ?? "",
        error, refresh, change};
}
