// Types of the parts of the component library (htm's single-file Preact build, laid into lib/ by
// the build) that the pages use.
export type VNode = any;
export type ComponentChildren = any;
export function html(strings: TemplateStringsArray, ...values: any[]): any;
export function h(type: any, props: any, ...children: any[]): VNode;
export function render(vnode: any, parent: Element): void;
export class Component<P = any, S = any> {
    constructor(props?: P);
    props: P;
    state: S;
    setState(state: Partial<S> | ((s: S, p: P) => Partial<S>), callback?: () => void): void;
    forceUpdate(callback?: () => void): void;
}
export interface Context<T> { Provider: any; Consumer: any; }
export function createContext<T>(value: T): Context<T>;
export function useContext<T>(context: Context<T>): T;
export function useState<T>(initial: T | (() => T)): [T, (value: T | ((old: T) => T)) => void];
export function useReducer<S, A>(reducer: (state: S, action: A) => S, initial: S): [S, (action: A) => void];
export function useEffect(effect: () => void | (() => void), inputs?: readonly any[]): void;
export function useLayoutEffect(effect: () => void | (() => void), inputs?: readonly any[]): void;
export function useRef<T = any>(initial?: T): { current: T };
export function useMemo<T>(factory: () => T, inputs: readonly any[]): T;
export function useCallback<T extends Function>(callback: T, inputs: readonly any[]): T;
