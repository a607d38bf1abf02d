// The places of the module, each drawn from the table descriptions: a table's grid, one row's
// form, a one-row table's form, the list of all tables, and the pages that load on demand.
import {html, useEffect, useState} from "../lib/preact-htm.js";
import * as tuna from "../common/api/tuna.js";
import {ErrorText, describe} from "../common/ui.js";
import {RowForm} from "./form.js";
import {Grid} from "./grid.js";
import {go, href} from "./router.js";
import {SCHEMA, tableOf} from "./schema.js";
import {namesOf, useSession} from "./state.js";

/** @param {{name: string}} props */
function Unknown({name}) {
    return html`<${ErrorText} message=${`There is no table named "${name}". Choose one from the overview.`}/>`;
}

/** Says which owner a narrowed grid shows ("Radios of CU-A"). @param {{filters: Record<string, string>, table: any}} props */
function OwnerTitle({table, filters}) {
    const [owner, setOwner] = useState("");
    const entry = Object.entries(filters)[0];
    useEffect(() => {
        setOwner("");
        if (!entry) return;
        const column = table.columns.find((/** @type {any} */ c) => c.name === entry[0]);
        if (column?.kind !== "ref") return setOwner(entry[1]);
        namesOf(column.table).then(names => setOwner(names.get(entry[1]) ?? entry[1]), () => setOwner(entry[1]));
    }, [table.name, entry?.[1]]);
    return html`<h1>${table.label}${owner ? ` of ${owner}` : ""}</h1>`;
}

/** @param {{name: string, filters: Record<string, string>}} props */
export function TableView({name, filters}) {
    const table = tableOf(name);
    if (!table) return html`<${Unknown} name=${name}/>`;
    if (table.single) return html`<${SingleView} name=${name}/>`;
    return html`<section class="table-view">
        <${OwnerTitle} table=${table} filters=${filters}/>
        <${Grid} key=${name} table=${table} filters=${filters}
            onOpen=${(/** @type {string} */ id) => go(["row", name, id], filters)}
            onAdd=${() => go(["row", name, "new"], filters)}/>
    </section>`;
}

/** @param {{name: string, id: string, params: Record<string, string>}} props */
export function RowView({name, id, params}) {
    const table = tableOf(name);
    if (!table) return html`<${Unknown} name=${name}/>`;
    const isNew = id === "new";
    const back = () => table.single ? go([]) : go(["table", name], params);
    return html`<section class="row-view">
        <p class="crumbs"><a href="#/">Overview</a> › <a href=${href(["table", name], params)}>${table.label}</a></p>
        <${RowForm} key=${`${name}/${id}`} table=${table} id=${isNew ? null : id} preset=${params}
            onSaved=${(/** @type {string} */ newId) => { if (isNew) go(["row", name, newId], params); }}
            onDeleted=${back} onCancel=${back}/>
    </section>`;
}

/** A table of one row as a form; the row is added when the configuration lacks it. @param {{name: string}} props */
export function SingleView({name}) {
    const session = useSession();
    const table = tableOf(name);
    const [id, setId] = useState(/** @type {string | null | undefined} */ (undefined));
    const [error, setError] = useState("");
    useEffect(() => {
        tuna.listRows(name, []).then(rows => setId(rows.length ? rows[0].id : null), e => setError(describe(e)));
    }, [name, session.version]);
    if (!table) return html`<${Unknown} name=${name}/>`;
    return html`<section class="row-view">
        <${ErrorText} message=${error}/>
        ${id !== undefined ? html`<${RowForm} key=${`${name}/${id}`} table=${table} id=${id}
            onSaved=${(/** @type {string} */ newId) => setId(newId)}/>` : null}
    </section>`;
}

export function AllTables() {
    return html`<section>
        <h1>All tables</h1>
        <ul class="catalogues">${[...SCHEMA.values()].map(t => html`<li>
            <a href=${t.single ? href(["form", t.name]) : href(["table", t.name])}>${t.label}</a> <span class="muted">(${t.name})</span></li>`)}</ul>
    </section>`;
}

/** Components that live in files of their own, loaded when first shown. */
const LAZY = {
    announcements: {file: "./announcements.js", component: "Announcements", title: "Announcements"},
    translations: {file: "./translations.js", component: "AudioTranslations", title: "Audio-setup translations"},
    icons: {file: "./icons.js", component: "Icons", title: "Button icons"},
};

/** @param {{which: keyof typeof LAZY}} props */
export function LazyView({which}) {
    const entry = LAZY[which];
    const [loaded, setLoaded] = useState(/** @type {{Component?: any, error?: string}} */ ({}));
    useEffect(() => {
        let live = true;
        setLoaded({});
        import(entry.file).then(module => {
            if (!live) return;
            const Component = module[entry.component];
            setLoaded(Component ? {Component} : {error: `${entry.file} does not provide ${entry.component}.`});
        }, e => live && setLoaded({error: `${entry.title} cannot be shown: its page could not be loaded (${describe(e)}).`}));
        return () => { live = false; };
    }, [which]);
    const {Component, error} = loaded;
    return html`<section>
        ${error ? html`<h1>${entry.title}</h1><${ErrorText} message=${error}/>` : null}
        ${Component ? html`<${Component}/>` : null}
        ${!Component && !error ? html`<p class="muted" role="status">Loading ${entry.title}…</p>` : null}
    </section>`;
}
