// The live unit list: the server's list asked once a second, and each unit's details asked when it
// appears or changes, a few at a time and those in view first, so a large installation costs the
// server little and the technician sees the rows in front of him filled first.
import {useCallback, useRef, useState} from "../lib/preact-htm.js";
import {usePolling, describe} from "../common/ui.js";
import {limiter} from "../common/limit.js";
import {unitInfo, unitList} from "../common/api/updater.js";

const LIST_MS = 1000;
const DETAIL_REQUESTS = 4;
// Details that arrive together are drawn together: a large installation's first load draws the
// list a few times, not once per unit.
const DRAW_DELAY_MS = 100;

/**
 * @typedef {import("../common/api/updater.js").UnitRecord} UnitRecord
 * @typedef {UnitRecord & {info?: Record<string, any>, infoError?: string}} Unit
 */

/**
 * The units as the server lists them, with their details. `refresh(mac)` asks a unit's details again.
 * `inView(macs)` asks the details of those units first.
 * @returns {{units: Unit[], listError: string, loaded: boolean, refresh: (mac: string) => void,
 *            inView: (macs: string[]) => void}}
 */
export function useUnits() {
    const [units, setUnits] = useState(/** @type {Unit[]} */ ([]));
    const [listError, setListError] = useState("");
    const [loaded, setLoaded] = useState(false);
    const seen = useRef(/** @type {Map<string, string>} */ (new Map()));  // mac -> what its record said
    const details = useRef(/** @type {Map<string, {info?: any, infoError?: string}>} */ (new Map()));
    const [requests] = useState(() => limiter(DETAIL_REQUESTS));
    const lastList = useRef(/** @type {UnitRecord[]} */ ([]));

    const drawTimer = useRef(0);

    const publish = useCallback(() => {
        clearTimeout(drawTimer.current);
        drawTimer.current = 0;
        setUnits(lastList.current.map(record => ({...record, ...details.current.get(record.macAddress)})));
    }, []);
    const publishSoon = useCallback(() => {
        if (!drawTimer.current) drawTimer.current = setTimeout(publish, DRAW_DELAY_MS);
    }, []);

    const refresh = useCallback((/** @type {string} */ mac) => {
        requests.run(() => unitInfo(mac), mac)
            .then(info => details.current.set(mac, {info}),
                  error => details.current.set(mac, {...details.current.get(mac), infoError: describe(error)}))
            .finally(publishSoon);
    }, []);

    /** The units in view have their details asked before the others. */
    const inView = useCallback((/** @type {string[]} */ macs) => requests.first(macs), []);

    usePolling(async () => {
        let list;
        try {
            list = await unitList();
        } catch (error) {
            setListError(describe(error));
            return;
        }
        setListError("");
        setLoaded(true);
        let changed = list.length !== lastList.current.length;
        const present = new Set();
        for (const record of list) {
            const mac = record.macAddress;
            present.add(mac);
            const said = JSON.stringify(record);
            if (seen.current.get(mac) === said) continue;
            changed = true;
            seen.current.set(mac, said);
            refresh(mac);
        }
        for (const mac of [...seen.current.keys()]) {
            if (present.has(mac)) continue;
            seen.current.delete(mac);
            details.current.delete(mac);
        }
        lastList.current = list;
        if (changed) publish();
    }, LIST_MS);

    return {units, listError, loaded, refresh, inView};
}
