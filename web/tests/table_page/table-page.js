// A page with nothing but the common table, for its browser test: the rows come from the address
// (?rows=N for N generated rows), the selection is shown as text.
import {html, render, useState} from "./lib/preact-htm.js";
import {Table, TableFilter, shownCount, useTable} from "./common/table.js";

const SMALL = [
    {name: "unit 10", mac: "00:00:00:00:00:0F", ip: "10.0.0.10", count: "10"},
    {name: "Unit 2", mac: "00:00:00:00:00:01", ip: "9.255.255.255", count: "-3"},
    {name: "Ärger", mac: "00:00:00:00:01:00", ip: "10.0.0.2", count: "1.5"},
    {name: "apple", mac: "00:00:00:00:00:1a", ip: "", count: ""},
    {name: "\u05e9\u05dc\u05d5\u05dd" + "x".repeat(300), mac: "00:00:00:00:00:0B", ip: "192.168.1.1", count: "2"},
];

const COLUMNS = [
    {key: "name", label: "Name", text: r => r.name},
    {key: "mac", label: "MAC", text: r => r.mac, sort: "hex"},
    {key: "ip", label: "IP", text: r => r.ip, sort: "address"},
    {key: "count", label: "Count", text: r => r.count, sort: "number"},
];

const wanted = Number(new URLSearchParams(location.search).get("rows") || 0);
const ROWS = wanted ? Array.from({length: wanted}, (_, i) => ({
    name: `Row ${String(i).padStart(5, "0")}`, mac: i.toString(16), ip: "", count: String(i)})) : SMALL;

function Page() {
    const [selected, setSelected] = useState(new Set());
    const table = useTable(ROWS, COLUMNS, {rowKey: r => r.mac});
    return html`<${TableFilter} table=${table}/> <span role="status">${shownCount(table)}</span>
        <button type="button" onClick=${() => setSelected(new Set(ROWS.slice(0, 2).map(r => r.mac)))}>Pick two</button>
        <p id="selected">${[...selected].sort().join(" ")}</p>
        <${Table} table=${table} label="Things" height="30rem"
            selection=${{selected, onChange: setSelected, label: r => `Select ${r.mac}`}}/>`;
}

render(html`<${Page}/>`, document.getElementById("page"));
