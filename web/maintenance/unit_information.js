// Everything the server says of a unit, as a list of facts.
import {html} from "../lib/preact-htm.js";
import {ErrorText} from "../common/ui.js";

const INFO_LABELS = [
    ["configuration", "Configuration"], ["date", "Date"], ["organization", "Organization"],
    ["description", "Description"], ["ipAddress", "IP address"], ["dis", "Software"], ["base", "Base"],
    ["cubMember", "CUB member"], ["cubRole", "CUB role"], ["id", "Id"], ["bricked", "Locked"],
];

/** The unit's languages, each marked when the unit lacks its texts. @param {Record<string, any>} info */
function languages(info) {
    if (!Array.isArray(info.languages)) return info.languages;
    const available = info.availableLanguages ?? [];
    return info.languages.map((name, i) => available[i] === false ? `${name} (not available)` : name).join(", ") || "none";
}

/** @param {any} value */
function shown(value) {
    if (typeof value === "boolean") return value ? "yes" : "no";
    if (Array.isArray(value)) return value.map(shown).join(", ") || "none";
    return String(value ?? "");
}

/** @param {{unit: import("./units.js").Unit}} props */
export function Information({unit}) {
    const info = unit.info ?? {};
    const rows = [["MAC address", unit.macAddress], ["Model", unit.type], ["State", unit.status],
                  ["Protocol version", unit.protocolVersion], ["CUB capable", unit.cubCapable],
                  ...INFO_LABELS.filter(([key]) => key in info).map(([key, label]) => [label, info[key]]),
                  ...("languages" in info ? [["Languages", languages(info)]] : [])];
    return html`<section aria-label="Information"><h3>Information</h3>
        <dl class="facts">${rows.map(([label, value]) => html`<dt>${label}</dt><dd>${shown(value)}</dd>`)}</dl>
        <${ErrorText} message=${unit.infoError}/>
    </section>`;
}
