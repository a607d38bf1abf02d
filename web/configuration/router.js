// The module's places, kept in the address's hash so that Back, reload and links work:
//   #/                      overview          #/table/<table>?col=value   a table's grid, narrowed
//   #/row/<table>/<id>      one row's form    #/row/<table>/new?col=value a new row
//   #/form/<table>          a one-row table   #/validate, #/announcements, #/translations, #/icons
import {useEffect, useState} from "../lib/preact-htm.js";

/** @typedef {{parts: string[], params: Record<string, string>}} Route */

/** @returns {Route} */
function parse() {
    const hash = decodeURIComponent(location.hash.replace(/^#\/?/, ""));
    const [path, query = ""] = hash.split("?");
    return {parts: path.split("/").filter(Boolean), params: Object.fromEntries(new URLSearchParams(query))};
}

export function useRoute() {
    const [route, setRoute] = useState(parse);
    useEffect(() => {
        const changed = () => setRoute(parse());
        window.addEventListener("hashchange", changed);
        return () => window.removeEventListener("hashchange", changed);
    }, []);
    return route;
}

/** The hash of a place. @param {string[]} parts @param {Record<string, string>} [params] */
export function href(parts, params) {
    const path = "#/" + parts.map(encodeURIComponent).join("/");
    const query = params && Object.keys(params).length ? "?" + new URLSearchParams(params) : "";
    return path + query;
}

/** @param {string[]} parts @param {Record<string, string>} [params] */
export function go(parts, params) {
    location.hash = href(parts, params);
}
