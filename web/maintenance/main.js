// The updater: the live list of central units, jobs on the selected ones with a progress bar each,
// a unit's details, roles, modules and files, and the page's own log of what it did.
import {html, useCallback, useEffect, useRef, useState} from "../lib/preact-htm.js";
import {startPage, setLeaveGuard} from "../common/frame.js";
import {ErrorText, useCommand} from "../common/ui.js";
import {downloadFetchedConfiguration, downloadLog} from "../common/api/updater.js";
import {useUnits} from "./units.js";
import {useJobs} from "./jobs.js";
import {logText, useLog} from "./page_log.js";
import {UnitTable} from "./unit_table.js";
import {JobForm} from "./job_form.js";
import {UnitDialog} from "./unit_dialog.js";
import {FailedUnits, FailureReasons, useRemembered} from "./failed_units.js";
import {NetworkNotice} from "./network_notice.js";

/**
 * A unit that works on a program this page knows nothing of (started before a reload, or by another
 * page) gets its progress bar too: each time it starts updating, the server is asked once.
 * @param {import("./units.js").Unit[]} units @param {Record<string, any>} jobs @param {(mac: string) => void} adopt
 */
function useRunningElsewhere(units, jobs, adopt) {
    const asked = useRef(/** @type {Set<string>} */ (new Set()));
    useEffect(() => {
        for (const unit of units) {
            const mac = unit.macAddress;
            if (unit.status !== "updating") asked.current.delete(mac);
            else if (!asked.current.has(mac) && jobs[mac]?.state !== "running") {
                asked.current.add(mac);
                adopt(mac);
            }
        }
    }, [units]);
}

function Updater() {
    const {units, listError, loaded, refresh, inView} = useUnits();
    const log = useLog(units);
    const {jobs, start: startJob, adopt, fromServer} = useJobs(log.add, refresh);
    const {start, startedOn} = useRemembered(startJob);
    useEffect(() => fromServer(units), [units]);
    useRunningElsewhere(units, jobs, adopt);
    const [selected, setSelected] = useState(/** @type {Set<string>} */ (new Set()));
    const [open, setOpen] = useState(/** @type {string | null} */ (null));
    const logCommand = useCommand();
    const rowCommand = useCommand();

    setLeaveGuard(() => Object.values(jobs).some(job => job.state === "running"));

    const present = new Set(units.map(u => u.macAddress));
    const chosen = [...selected].filter(mac => present.has(mac));
    const openUnit = units.find(u => u.macAddress === open);
    const downloadConfiguration = useCallback((/** @type {string} */ mac) =>
        rowCommand.run(() => downloadFetchedConfiguration(mac)), []);

    return html`<div class="updater">
        <h1 class="visually-hidden">Updater</h1>
        <${JobForm} selected=${chosen} units=${units} start=${start}/>
        <${ErrorText} message=${listError && `The unit list could not be read: ${listError}`}/>
        <${ErrorText} message=${rowCommand.error}/>
        <${NetworkNotice} noUnits=${loaded && units.length === 0}/>
        <${UnitTable} units=${units} jobs=${jobs} selected=${selected} setSelected=${setSelected}
            onOpen=${setOpen} onDownload=${downloadConfiguration} onView=${inView}
            tools=${(/** @type {(mac: string) => boolean} */ shown) => html`<${FailedUnits} units=${units} jobs=${jobs}
                shown=${shown} setSelected=${setSelected} start=${start} startedOn=${startedOn}/>`}/>
        <${FailureReasons} units=${units} jobs=${jobs}/>
        <div class="log-bar">
            <span class="muted">${log.entries.length} ${log.entries.length === 1 ? "entry" : "entries"} in this page's log</span>
            <button type="button" disabled=${logCommand.pending}
                onClick=${() => logCommand.run(() => downloadLog(logText(log.entries)))}>Download log</button>
            <${ErrorText} message=${logCommand.error}/>
        </div>
        ${openUnit && html`<${UnitDialog} unit=${openUnit} job=${jobs[openUnit.macAddress]} start=${start}
            log=${log.add} onClose=${() => setOpen(null)}/>`}
    </div>`;
}

startPage(Updater);
