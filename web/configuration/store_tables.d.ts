// The store's column lists, which the build writes as store_tables.js (stavenor/store_tables.cpp).
export declare const STORE_TABLES: Record<string, string[]>;
