// Validation: what the store would drop from the export (crew stations whose unit is gone, units
// without a name), what Save leaves out or writes otherwise (a static route through an interface
// its unit does not have, a radio on no line of its unit), rows that lack what the next load needs,
// and references to rows that are gone. Each finding leads to its row; the store's own validation
// then removes what it cannot export.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe, useCommand} from "../common/ui.js";
import {Name} from "./fields.js";
import {href} from "./router.js";
import {SCHEMA} from "./schema.js";
import {namesOf, registerId, useSession} from "./state.js";

/** @typedef {{table: string, id: string, name: string, text: string, removed: boolean}} Finding */

const RADIO_LINES = [1, 2, 3, 4];

/** The radio's columns that the file takes a radio link's local IP, remote IP and options from. */
const RADIO_LINK_COLUMNS = {
    radioUsb: ["ipAddress", "netMask"],
    radioData: ["dataPortPppConnectionLocalIp", "dataPortPppConnectionRemoteIp", "dataPortPppConnectionOptions"],
    radioControl: ["controlPortPppConnectionLocalIp", "controlPortPppConnectionRemoteIp", "controlPortPppConnectionOptions"],
};

/**
 * A radio's link row whose addresses differ from its radio's: Save writes the radio's, so an edit
 * of the link alone is lost.
 * @param {Record<string, string>[]} links @param {Record<string, string>[]} radios
 * @returns {Finding[]}
 */
function radioLinksEdited(links, radios) {
    const byId = new Map(radios.map(r => [r.id, r]));
    return links.flatMap(link => {
        const columns = RADIO_LINK_COLUMNS[link.parentType];
        const radio = byId.get(link.parentId);
        if (!columns || !radio) return [];
        const written = columns.map(c => radio[c] ?? "");
        const held = ["localIp", "remoteIp", "options"].slice(0, columns.length).map(c => link[c] ?? "");
        if (written.every((v, i) => v === held[i])) return [];
        return [{table: "pppProperties", id: link.id, name: link.name, removed: false,
            text: `The file takes this link from radio ${radio.name} (${written.filter(Boolean).join(", ") || "no addresses"}): ` +
                "Save writes those, not this row's. Change them in the radio."}];
    });
}

/**
 * What Save leaves out or changes because a unit lacks it: a radio registers under its unit only
 * through a line ("rtpLine" for an IP radio), and a static route through an interface is written
 * only when its unit has an interface of that name (its Ethernet, its radios' links, its PPP links).
 * @param {Map<string, string>} unitNames unit id -> name
 * @returns {Promise<Finding[]>}
 */
async function droppedBySave(unitNames) {
    /** @type {Finding[]} */
    const found = [];
    const kinds = new Map((await tuna.listRows("globalOverviewRadioModels", ["name", "type"])).map(m => [m.name, m.type]));
    const lineColumns = RADIO_LINES.flatMap(n => [`line${n}`, `rtpLine${n}`]);
    const radios = await tuna.listRows("radio", ["name", "breltID", "type", "ipAddress", "netMask",
        ...Object.values(RADIO_LINK_COLUMNS).flat(), "dataPortPppConnection", "controlPortPppConnection", ...lineColumns]);
    /** @type {Map<string, Set<string>>} unit id -> the names of its interfaces */
    const interfaces = new Map([...unitNames].map(([id, name]) => [id, new Set([`${name} Ethernet`])]));
    for (const radio of radios) {
        const unit = unitNames.get(radio.breltID);
        if (unit === undefined) continue;
        const kind = kinds.get(radio.type) || "analog";
        const prefix = kind === "ip" ? "rtpLine" : "line";
        if (!RADIO_LINES.some(n => radio[`${prefix}${n}`] === "true")) {
            found.push({table: "radio", id: radio.id, name: radio.name, removed: false,
                text: `${unit} is its central unit, but it uses none of the unit's ${kind === "ip" ? "RTP " : ""}lines: ` +
                    "Save writes it without a central unit."});
            continue;
        }
        const own = interfaces.get(radio.breltID);
        if (kind === "usb") own.add(`${radio.name} ethernet (USB)`);
        if (kind === "analog" && radio.dataPortPppConnection === "true") own.add(`${radio.name} data port (PPP)`);
        if (kind === "analog" && radio.controlPortPppConnection === "true") own.add(`${radio.name} control port (PPP)`);
    }
    const links = await tuna.listRows("pppProperties", ["name", "parentId", "parentType", "localIp", "remoteIp", "options"]);
    for (const link of links)
        if (link.parentType === "centralUnit") interfaces.get(link.parentId)?.add(link.name);
    found.push(...radioLinksEdited(links, radios));
    /** @type {Map<string, number>} */
    const counted = new Map();
    for (const route of await tuna.listRows("staticRouting", ["breltID", "gatewayInterface", "gatewayInterfaceName"])) {
        const unit = unitNames.get(route.breltID);
        if (unit === undefined) continue;
        const number = (counted.get(route.breltID) || 0) + 1;
        counted.set(route.breltID, number);
        const through = route.gatewayInterfaceName;
        if (route.gatewayInterface !== "true" || interfaces.get(route.breltID).has(through)) continue;
        found.push({table: "staticRouting", id: route.id, name: `${unit}, route ${number}`, removed: false,
            text: `Static route ${number} goes through an interface that ${unit} does not have` +
                `${through ? ` (“${through}”)` : ""}: Save will leave it out.`});
    }
    return found;
}

/** @returns {Promise<Finding[]>} */
async function findings() {
    /** @type {Finding[]} */
    const found = [];
    const register = new Set((await tuna.listRows("ids", [])).map(r => registerId(r.id)));
    const units = await tuna.listRows("centralUnits", ["name"]);
    const unitIds = new Set(units.map(u => u.id));
    for (const u of units)
        if (!u.name) found.push({table: "centralUnits", id: u.id, name: "", text: "The central unit has no name.", removed: true});
    found.push(...await droppedBySave(new Map(units.map(u => [u.id, u.name]))));
    for (const table of SCHEMA.values()) {
        const checked = table.columns.filter(c => c.required || c.kind === "ref");
        if (!checked.length || table.name === "ids") continue;
        const rows = await tuna.listRows(table.name, ["name", ...checked.map(c => c.name)]);
        for (const row of rows) {
            for (const c of checked) {
                const value = row[c.name] ?? "";
                if (c.required && !value.trim())
                    found.push({table: table.name, id: row.id, name: row.name, text: `${c.label} is missing.`, removed: false});
                else if (c.kind === "ref" && value && value !== c.none) {
                    const exists = c.table === "centralUnits" ? unitIds.has(value) : c.table === "ids" ? register.has(value)
                        : (await namesOf(c.table)).has(value);
                    if (!exists)
                        found.push({table: table.name, id: row.id, name: row.name, removed: table.name === "crewStation" && c.name === "breltID",
                            text: `${c.label} refers to ${value}, which no longer exists.`});
                }
            }
        }
    }
    return found;
}

export function Validation() {
    const session = useSession();
    const [list, setList] = useState(/** @type {Finding[] | null} */ (null));
    const [error, setError] = useState("");
    const command = useCommand();

    useEffect(() => {
        let live = true;
        setList(null);
        findings().then(f => live && setList(f), e => live && setError(describe(e)));
        return () => { live = false; };
    }, [session.version]);

    const removable = (list || []).filter(f => f.removed).length;
    return html`<section aria-labelledby="validate-title">
        <h1 id="validate-title">Validation</h1>
        <${ErrorText} message=${error}/>
        ${!list && !error ? html`<p class="muted" role="status">Checking the configuration…</p>` : null}
        ${list && !list.length ? html`<p class="notice" role="status">No findings: the configuration is complete.</p>` : null}
        ${list && list.length ? html`<p role="status">${list.length} finding${list.length === 1 ? "" : "s"}.</p>
            <ul class="findings">${list.map(f => html`<li>
                <a href=${href(["row", f.table, f.id])}>${SCHEMA.get(f.table).label}: ${f.name ? html`<${Name} name=${f.name}/>` : f.id}</a> — ${f.text}
                ${f.removed ? html`<span class="muted"> (the store's validation removes this row)</span>` : null}
            </li>`)}</ul>` : null}
        ${removable ? html`<div class="buttons">
            <button type="button" class="danger" disabled=${command.pending}
                onClick=${() => command.run(() => session.change(() => tuna.validate(), "rows that cannot be exported removed"))}>Remove the ${removable} row${removable === 1 ? "" : "s"} that cannot be exported</button>
        </div>` : null}
        <${ErrorText} message=${command.error}/>
    </section>`;
}
