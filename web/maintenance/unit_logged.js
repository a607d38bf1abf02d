// A command on one unit that waits for the unit's answer and goes into the page's log with it.
import {describe, useCommand} from "../common/ui.js";

/** @param {import("./page_log.js").Log} log @param {string} mac */
export function useLogged(log, mac) {
    const command = useCommand();
    const run = (/** @type {string} */ what, /** @type {() => Promise<any>} */ fn) => command.run(async () => {
        try {
            const result = await fn();
            log(mac, what, "done");
            return result ?? true;
        } catch (error) {
            log(mac, what, `failed: ${describe(error)}`);
            throw error;
        }
    });
    return {...command, run};
}

/**
 * Starts a job on the unit, whose outcome the page's job list follows and logs; a refusal is thrown.
 * @param {(type: string, units: string[], params: Record<string, any>, sent?: string) => Promise<any[]>} start
 * @param {string} mac @param {string} type @param {Record<string, string>} params @param {string} sent
 */
export async function startOnUnit(start, mac, type, params, sent) {
    const [record] = await start(type, [mac], params, sent);
    if (record?.status !== "commandAccepted") throw new Error(record?.description || "the server gave no reason");
}
