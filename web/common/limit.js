// Requests to the server a few at a time, so that a large installation never floods it: tasks wait
// in a queue and start, in the order asked, as earlier ones end.

/**
 * @typedef {{
 *   run: <T>(task: () => Promise<T>, key?: string) => Promise<T>,
 *   first: (keys: Iterable<string>) => void,
 * }} Limiter
 */

/**
 * A limiter that runs at most `count` tasks at once.
 * `run(task, key)` queues the task and resolves or rejects as it does; a task asked again under the
 * key of one still waiting is not queued twice (both callers get the waiting one's result).
 * `first(keys)` moves the waiting tasks of those keys to the front, in the order given.
 * @param {number} count
 * @returns {Limiter}
 */
export function limiter(count) {
    /** @type {{task: () => Promise<any>, key?: string, resolve: (v: any) => void, reject: (e: any) => void, promise?: Promise<any>}[]} */
    let waiting = [];
    let running = 0;

    const pump = () => {
        while (running < count && waiting.length) {
            const entry = waiting.shift();
            running++;
            Promise.resolve().then(entry.task).then(entry.resolve, entry.reject).finally(() => {
                running--;
                pump();
            });
        }
    };

    return {
        run(task, key) {
            const queued = key === undefined ? undefined : waiting.find(e => e.key === key);
            if (queued) return queued.promise;
            /** @type {any} */
            const entry = {task, key};
            entry.promise = new Promise((resolve, reject) => Object.assign(entry, {resolve, reject}));
            waiting.push(entry);
            pump();
            return entry.promise;
        },
        first(keys) {
            const rank = new Map([...keys].map((key, i) => [key, i]));
            const front = waiting.filter(e => rank.has(e.key)).sort((a, b) => rank.get(a.key) - rank.get(b.key));
            if (front.length) waiting = [...front, ...waiting.filter(e => !rank.has(e.key))];
        },
    };
}
