// Every table of the configuration store as the pages see it. The store's own column lists come
// from the build (store_tables.js, written from the store's table definitions); this file adds
// only what a person needs: labels, the kind and range of every column, what a column refers to,
// and where a table stands in the overview. The grid, the form, the overview and the validation
// are drawn from these descriptions alone.
import {STORE_TABLES} from "./store_tables.js";

/**
 * @typedef {"text" | "number" | "bool" | "flag" | "choice" | "ref" | "refName"
 *   | "address" | "ownAddress" | "netMask" | "multicast" | "routerId" | "phone"} Kind
 * `ref` holds another row's id, `refName` its name; both are chosen by name. `bool` is "true" or
 * "false"; `flag` is a flag that the file keeps as it stands ("1"/"0" as well as "true"/"false").
 * `ownAddress`: a device's own address, which no broadcast, multicast or loopback address can be.
 * @typedef {{
 *   name: string, label: string, kind: Kind, min?: number, max?: number, choices?: string[],
 *   none?: string, table?: string, required?: boolean, grid?: boolean, hidden?: boolean,
 *   initial?: string, kindWhen?: {column: string, value: string, kind: Kind}
 * }} Column
 * `none`: the value that a reference holds for "no row" besides the empty text.
 * `initial`: what a new row starts with. `hidden`: not in the forms (the id, and columns that no
 * Save writes and nothing reads). `kindWhen`: the kind in rows whose `column` holds `value`.
 * @typedef {{
 *   name: string, label: string, row: string, columns: Column[], single: boolean, named: boolean,
 *   parent?: string, nameUnique?: string[], sharesIds: boolean, unitGroup?: string,
 *   operatorPart: boolean, catalogue: boolean
 * }} Table
 * `row`: what one row is called ("Central unit"). `sharesIds`: a new row takes the id of any
 * object that already has its name, so its name must be new among all objects. `unitGroup`: the
 * overview's column under which a central unit's rows of this table are counted; `operatorPart`:
 * counted per operator; `catalogue`: listed among the installation-wide catalogues.
 */

/** @param {string} label @param {Kind} kind @param {Partial<Column>} [more] @returns {Partial<Column>} */
const column = (label, kind, more = {}) => ({label, kind, ...more});
/** @param {string} label @param {Partial<Column>} [more] */
const text = (label, more) => column(label, "text", more);
/** @param {string} label @param {number} min @param {number} max @param {Partial<Column>} [more] */
const number = (label, min, max, more) => column(label, "number", {min, max, ...more});
/** @param {string} label @param {Partial<Column>} [more] */
const bool = (label, more) => column(label, "bool", more);
/** @param {string} label @param {string[]} choices @param {Partial<Column>} [more] */
const choice = (label, choices, more) => column(label, "choice", {choices, ...more});
/** @param {string} label @param {string} table @param {Partial<Column>} [more] */
const ref = (label, table, more) => column(label, "ref", {table, ...more});
/** @param {string} label @param {string} table @param {Partial<Column>} [more] */
const refName = (label, table, more) => column(label, "refName", {table, ...more});
/** An IPv4 address. @param {string} label @param {Partial<Column>} [more] */
const address = (label, more) => column(label, "address", more);
/** A flag kept as the file holds it. @param {string} label */
const flag = label => column(label, "flag");
// Columns that neither Save writes nor Open reads, and that nothing reads while the server runs:
// kept out of the forms, so that nothing typed into them is lost unseen.
const notInFile = {hidden: true};
/** @param {string} label */
const netMask = label => column(label, "netMask");
/** @param {string} label */
const multicast = label => column(label, "multicast");
/** An OSPF router id or area: four numbers of 0 to 255. @param {string} label */
const routerId = label => column(label, "routerId");
/** A phone number or extension. @param {string} label @param {Partial<Column>} [more] */
const phone = (label, more) => column(label, "phone", more);
/** @param {string} label @param {Partial<Column>} [more] */
const port = (label, more = {}) => number(label, 1, 65535, more);
/** Milliseconds or seconds a unit waits. @param {string} label @param {Partial<Column>} [more] */
const time = (label, more = {}) => number(label, 0, 86400, more);
/** A gain or level in decibels. @param {string} label */
const level = label => number(label, -60, 60);

// Devices may stand outside every unit (the file keeps them in its device list).
const unit = ref("Central unit", "centralUnits", {grid: true});
const operator = ref("Operator", "operatorGeneral", {required: true, grid: true});
const OWNER = text("Owner kind");
const RATES = ["1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"];
const PARITIES = ["none", "even", "odd"];
const UNIT_MODELS = ["BRELT-10TA", "BRELT-10TA-L2", "Central Unit"];
const OBJECT_KINDS = ["transceiver", "conference", "operator", "speaker", "telephone", "phone", "event", "unknown"];
const CONTACT_TYPES = ["phone", "sip"];
const ALARM_TRIGGERS = ["Enabled", "Rising", "Falling", "Inverted"];
const CREW_MODELS = ["MVQ-2CS", "MVQ-2FFS", "MVQ-2FFS-FK"].flatMap(m => [m,
    ...["-H", "-A", "-C2", "-C4"].map(v => m + v)]);

/**
 * Columns "<prefix>1" to "<prefix><count>", each made by `make` from its number.
 * @param {string} prefix @param {number} count @param {(n: number) => Partial<Column>} make
 */
function numbered(prefix, count, make) {
    return Object.fromEntries(Array.from({length: count}, (_, i) => [`${prefix}${i + 1}`, make(i + 1)]));
}
const lines = (/** @type {number} */ count) => numbered("line", count, n => bool(`Line ${n}`));

/** The columns of one telephone line, "line1..." or "line2...". @param {number} n */
function telephoneLine(n) {
    const p = `line${n}`;
    return {[`${p}Enabled`]: bool(`Line ${n} enabled`), [`${p}Id`]: ref(`Phone line ${n}`, "telephoneLine"),
        [`${p}InputLevel`]: level(`Line ${n} input level`), [`${p}OutputLevel`]: level(`Line ${n} output level`),
        [`${p}DTMF`]: level(`Line ${n} DTMF level`), [`${p}LoginCode`]: phone(`Line ${n} login code`),
        [`${p}LogoutCode`]: phone(`Line ${n} logout code`), [`${p}PbxAnswering`]: bool(`Line ${n} PABX answering`),
        [`${p}LineDetection`]: bool(`Line ${n} line detection`),
        [`${p}CallingTimeout`]: time(`Line ${n} calling timeout`),
        [`${p}SilenceTimeout`]: time(`Line ${n} silence timeout`),
        [`${p}SipExtension`]: phone(`Line ${n} SIP extension`, notInFile)};
}

/** A radio's data or control port. @param {string} p @param {string} label */
function radioPort(p, label) {
    return {[`${p}Endpoint`]: refName(`${label} endpoint`, "endpoint"), [`${p}Rate`]: choice(`${label} rate`, RATES),
        [`${p}PppConnection`]: bool(`${label} PPP connection`),
        [`${p}PppConnectionLocalIp`]: address(`${label} PPP local IP`),
        [`${p}PppConnectionRemoteIp`]: address(`${label} PPP remote IP`),
        [`${p}PppConnectionOptions`]: text(`${label} PPP options`)};
}

/** One radio of a rotary dial button, "radio" or "radio2". @param {string} p @param {string} label */
function dialRadio(p, label) {
    return {[p]: bool(label), [`${p}Chosen`]: ref(`${label}: which`, "radio"),
        [`${p}Shared`]: bool(`${label} shared`),
        [`${p}Exclusive`]: bool(`${label} exclusive`), [`${p}Priority`]: number(`${label} priority`, 0, 9),
        [`${p}Crosstalk`]: bool(`${label} crosstalk`)};
}

/** A key of the keypad: an icon with its badges. @param {string} p @param {string} label */
function keyIcon(p, label) {
    return {[p]: text(label), [`${p}UpperBadge`]: text(`${label} upper badge`),
        [`${p}LowerBadge`]: text(`${label} lower badge`)};
}

// Every column of every table but "id" and "name" is described here; a test holds this to the
// store's own lists. "id" is never edited; "name" is the row's name.
const TABLES = {
    ids: {label: "Object register", row: "Object", fields: {
        type: choice("Kind", OBJECT_KINDS, {grid: true}),
        cbm: bool("CBM")}},
    Configuration: {label: "Configuration name", single: true, byName: true, fields: {}},
    cubSettings: {label: "System settings", single: true, catalogue: true, fields: {
        filename: text("File name"), organization: text("Organization"),
        language: refName("Language", "globalOverviewLanguages"), networkKey: text("Network key"),
        multicastAddress: multicast("Multicast group"), sipTrunkAddress: address("SIP trunk address"),
        multicastTtl: number("Multicast TTL", 0, 255), broadcastTimeout: bool("Broadcast timeout"),
        timeout: time("Timeout")}},
    globalOverviewLanguages: {byName: true, label: "Languages", row: "Language", catalogue: true, fields: {}},
    languagesUsed: {label: "Languages used", row: "Language used", fields: {
        languageId: refName("Language", "globalOverviewLanguages", {grid: true})}},
    Texts: {byName: true, label: "Texts", row: "Text", catalogue: true, fields: {}},
    globalAudioSetupTranslations: {label: "Translations", row: "Translation", fields: {
        translation: text("Translation", {grid: true}),
        languageId: refName("Language", "globalOverviewLanguages", {grid: true})}},
    audioFiles: {label: "Announcement files", row: "Announcement file", fields: {}},
    globalAudioSetupAudioRepository: {label: "Announcement repository", row: "Announcement", fields: {
        languageId: text("Language", {grid: true}), rate: number("Sample rate", 1, 192000),
        size: number("Size", 0, 2 ** 31), type: text("Coding"), duration: text("Duration", {grid: true})}},
    globalOverviewConferences: {byName: true, label: "Conferences", row: "Conference", sharesIds: true,
        catalogue: true, fields: {
        description: text("Description"),
        conferenceType: choice("Conference type", ["multicast", "sip"], {grid: true}),
        multicastGroup: multicast("Multicast group"), port: port("Port"), ttl: number("TTL", 0, 255),
        sipExtension: phone("SIP extension", notInFile)}},
    globalEvents: {byName: true, label: "Events", row: "Event", sharesIds: true, catalogue: true, fields: {
        description: text("Description", {grid: true}), textMessage: text("Text message"),
        audioFile: refName("Audio file", "audioFiles", {grid: true}), repeats: number("Repeats", 0, 1000),
        volume: number("Volume", 0, 100)}},
    globalOverviewHeadsets: {byName: true, label: "Headsets", row: "Headset", catalogue: true, fields: {
        inputSensitivity: number("Input sensitivity", 0, 15), inputSensitivity2: number("Input sensitivity 2", 0, 15),
        inputGain: level("Input gain"), outputGain: level("Output gain"), outputGain2: level("Output gain 2"),
        sideToneLevel: number("Side tone level", 0, 100), biasingVoltage: bool("Biasing voltage"),
        soundPressureLevel: number("Sound pressure level", 0, 200),
        speechDetectionLevel: number("Speech detection level", 0, 100),
        speechDetectionSensitivity: number("Speech detection sensitivity", 0, 100),
        microphoneDetection: bool("Microphone detection"), asymmetricMicrophone: bool("Asymmetric microphone"),
        asymmetricMicrophone2: bool("Asymmetric microphone 2"), highOutput: bool("High output"),
        highOutput2: bool("High output 2"), extended: text("Extended settings"),
        eventId: ref("Event", "globalEvents")}},
    globalOverviewPhoneBook: {byName: true, label: "Global phone book", row: "Contact", catalogue: true, fields: {
        // A contact without a type is skipped by the next load.
        contactType: choice("Contact type", CONTACT_TYPES, {required: true, grid: true}),
        contactNumber: phone("Number", {grid: true}), sipAddress: text("SIP address")}},
    globalOverviewRadioModels: {byName: true, label: "Radio models", row: "Radio model", catalogue: true, fields: {
        inputGain: level("Input gain"), outputGain: level("Output gain"),
        transmitReceiveDelay: time("Transmit-receive delay"), receiveTransmitDelay: time("Receive-transmit delay"),
        duplex: choice("Duplex", ["half", "full"]), capabilityMorvexAsciiCommands: bool("ASCII command capability"),
        type: choice("Connection type", ["analog", "usb", "ip"], {required: true, grid: true}),
        sideTone: bool("Side tone"), sideToneLevel: number("Side tone level", 0, 100)}},
    globalOverviewSipAliases: {label: "SIP accounts", row: "SIP account", nameUnique: ["parentId"], catalogue: true,
        fields: {
        // A unit's SIP account, or an operator's alias in the system-wide list.
        type: choice("Kind", ["account", "operator"], {grid: true}), parentId: ref("Owner", "ids", {grid: true}),
        parentType: OWNER,
        alias: phone("Alias", {grid: true}), password: text("Password"), callNumber: phone("Call number"),
        callerId: text("Caller id")}},
    centralUnits: {byName: true, label: "Central units", row: "Central unit", sharesIds: true, fields: {
        // A new unit gets a model: the export writes it, and the unit needs one.
        type: choice("Model", UNIT_MODELS, {grid: true, initial: UNIT_MODELS[0]}),
        line1Master: bool("Line 1 master"), disableLocalEcho: bool("Disable local echo with PABX"),
        ipAddress: column("IP address", "ownAddress", {grid: true}), netMask: netMask("Net mask"),
        useDhcp: flag("Use DHCP"),
        sipExchangeNumber: phone("SIP exchange number"), sipDomain: text("SIP domain"),
        sipRegistrar: text("SIP registrar"), ospf2RouterId: routerId("OSPFv2 router id"),
        ospf3RouterId: routerId("OSPFv3 router id")}},
    crewStation: {byName: true, label: "Crew stations", row: "Crew station", parent: "breltID",
        unitGroup: "Devices", fields: {
        breltID: unit, type: choice("Model", CREW_MODELS, {grid: true}), showSplash: flag("Show splash screen"),
        brightness: number("Brightness", 0, 100), contrast: number("Contrast", 0, 100),
        endpoint: refName("Endpoint", "endpoint"), rate: choice("Rate", RATES), parity: choice("Parity", PARITIES),
        addOnH: bool("Add-on H"), dataBits: number("Data bits", 5, 8), stopBits: number("Stop bits", 1, 2),
        masterOperator: ref("Master operator", "operatorGeneral"),
        slaveOperator: ref("Slave operator", "operatorGeneral"),
        ...lines(12)}},
    radio: {byName: true, label: "Radios", row: "Radio", parent: "breltID", sharesIds: true, unitGroup: "Devices",
        fields: {
        // The model's connection type decides how the radio is written; without one it is read back as analog.
        breltID: unit, type: refName("Model", "globalOverviewRadioModels", {required: true, grid: true}),
        differential: bool("Differential"), transmitTimeout: bool("Transmit timeout"), timeout: time("Timeout"),
        firstWarning: time("First warning"), secondWarning: time("Second warning"),
        retransmissionDelay: bool("Retransmission delay"), audioDelay: time("Audio delay"),
        operatorAudioDelay: bool("Operator audio delay"), operatorDelay: time("Operator delay"),
        ...radioPort("dataPort", "Data port"), synchronous: bool("Synchronous"),
        rtsCtsFlowControl: bool("RTS CTS flow control"),
        ...radioPort("controlPort", "Control port"), remoteControl: bool("Remote control"),
        // As the import writes it; the export writes a serial link only for exactly "Serial".
        remoteControlConnection: choice("Remote control connection", ["IP", "Serial"]),
        // Holds an address or an endpoint's name.
        remoteControlIpAddress: text("Remote control address"),
        remoteControlEndpoint: refName("Remote control endpoint", "endpoint"),
        applicationPortEndpoint: refName("Application port endpoint", "endpoint"),
        ipAddress: address("IP address"), netMask: netMask("Net mask"),
        statusPortEndpoint: refName("Status port endpoint", "endpoint"),
        tracePortEndpoint: refName("Trace port endpoint", "endpoint"),
        debugPortEndpoint: refName("Debug port endpoint", "endpoint"), force: bool("Force"), ...lines(4),
        sipExtension: phone("SIP extension", notInFile), remoteControlPort: port("Remote control port"),
        transmitRtpPort: port("Transmit RTP port"), receiveRtpPort: port("Receive RTP port"),
        ...numbered("rtpLine", 4, n => bool(`RTP line ${n}`))}},
    telephone: {byName: true, label: "Telephones", row: "Telephone", parent: "breltID", sharesIds: true,
        unitGroup: "Devices", fields: {
        breltID: unit, type: choice("Model", ["MVQ-2TS", "MVQ-2TS-A", "PAXU-F"], {grid: true}),
        ...telephoneLine(1), ...telephoneLine(2), line2FieldPhone: bool("Line 2 field phone"),
        ...numbered("alarmTrigger", 8, n => choice(`Alarm ${n} trigger`, ALARM_TRIGGERS)),
        ...numbered("alarmEventId", 8, n => ref(`Alarm ${n} event`, "globalEvents")), ...lines(12)}},
    telephoneLine: {label: "Telephone lines", row: "Telephone line", parent: "parentId", sharesIds: true, fields: {
        parentId: ref("Telephone", "telephone", {required: true, grid: true}),
        line: number("Line", 1, 2, {grid: true})}},
    serialPort: {byName: true, label: "Serial ports", row: "Serial port", parent: "breltID", unitGroup: "Devices",
        fields: {
        breltID: unit, endpoint: refName("Endpoint", "endpoint", {grid: true}), rate: choice("Rate", RATES),
        parity: choice("Parity", PARITIES), dataBits: number("Data bits", 5, 8), stopBits: number("Stop bits", 1, 2),
        rts: flag("RTS"), dtr: flag("DTR"), rs485: flag("RS-485"), ...lines(4)}},
    speaker: {byName: true, label: "Speakers", row: "Speaker", parent: "breltID", sharesIds: true,
        unitGroup: "Devices", fields: {
        breltID: unit, playAnnouncements: bool("Plays announcements"), volume: number("Volume", 0, 100), ...lines(1),
        sipExtension: phone("SIP extension", notInFile)}},
    usbAudio: {byName: true, label: "USB audio devices", row: "USB audio device", parent: "breltID",
        unitGroup: "Devices", fields: {
        breltID: unit, inputGain: level("Input gain"), outputGain: level("Output gain"),
        masterOperator: ref("Master operator", "operatorGeneral"), ...lines(2)}},
    daemons: {label: "Programs", row: "Program", parent: "breltID", unitGroup: "Programs", fields: {
        breltID: unit, application: text("Application", {grid: true}), path: text("Path"),
        parameters: text("Parameters"),
        // The file's two mode words; another loaded word is shown and kept.
        mode: choice("Mode", ["respawn", "wait"]), delay: time("Delay"), noAuto: bool("No automatic start"),
        position: number("Position", 0, 100000, {grid: true}), enabled: bool("Enabled", {grid: true})}},
    services: {label: "Services", row: "Services", parent: "breltID", unitGroup: "Programs", fields: {
        breltID: unit, nmeaGps: bool("NMEA GPS"), nmeaEndpoint: refName("NMEA endpoint", "endpoint"),
        distributedDis: bool("Distributed DIS"), ktx: bool("KTX"), ospf: bool("OSPFv2"), ospf3: bool("OSPFv3"),
        rip: bool("RIP"), ripng: bool("RIPng"), bgp: bool("BGP"), overlord: bool("Overlord"),
        overlordPassword: text("Overlord password")}},
    endpoint: {label: "Endpoints", row: "Endpoint", parent: "parentId", fields: {
        parentId: ref("Owner", "ids", {grid: true}), type: choice("Kind", ["System", "UDP", "TCP"], {grid: true}),
        parentType: OWNER, listeningPort: port("Listening port"), destinationAddress: address("Destination address"),
        destinationPort: port("Destination port"), path: text("Path")}},
    pppProperties: {label: "PPP links", row: "PPP link", parent: "parentId", fields: {
        parentId: ref("Owner", "ids", {grid: true}), parentType: text("Owner kind", {grid: true}),
        localIp: address("Local IP", {grid: true}),
        // A radio's USB link keeps its net mask here, as a mask or a prefix length.
        remoteIp: address("Remote IP (a USB link: net mask)", {grid: true,
            kindWhen: {column: "parentType", value: "radioUsb", kind: "netMask"}}), options: text("Options")}},
    routingProtocols: {label: "Routing protocols", row: "Routing protocols", parent: "parentId",
        unitGroup: "Routes", fields: {
        parentId: ref("Owner", "ids", {required: true, grid: true}), pppId: ref("PPP link", "pppProperties"),
        parentType: choice("Owner kind", ["centralUnit", "radioData", "radioControl", "radioUsb", "ppp"],
            {required: true, grid: true}),
        parentTypeName: text("Owner model"), interfaceName: text("Interface"),
        rip: bool("RIP"), ripSendVersion: number("RIP version sent", 1, 2),
        ripReceiveVersion: number("RIP version accepted", 1, 3),
        ripng: bool("RIPng"), ospf2: bool("OSPFv2"), ospf2Area: routerId("OSPFv2 area"),
        ospf2Priority: number("OSPFv2 priority", 0, 255),
        ospf3: bool("OSPFv3"), ospf3Area: routerId("OSPFv3 area"), ospf3Priority: number("OSPFv3 priority", 0, 255)}},
    staticRouting: {label: "Static routes", row: "Static route", parent: "breltID", unitGroup: "Routes", fields: {
        breltID: unit, targetAddress: bool("Target is an address"), targetAddressAddress: text("Target address"),
        targetSubnet: bool("Target is a subnet"), targetSubnetAddress: address("Target subnet"),
        targetSubnetMask: netMask("Target subnet mask"), gatewayInterface: bool("Gateway is an interface"),
        gatewayInterfaceName: text("Gateway interface"), gatewayIpAddress: bool("Gateway is an IP address"),
        gatewayIpAddressAddress: address("Gateway address"), metric: number("Metric", 0, 65535, {grid: true})}},
    route: {label: "Audio routes", row: "Audio route", catalogue: true, fields: {
        sourceId: ref("Source", "ids", {required: true, grid: true}),
        destinationId: ref("Destination", "ids", {required: true, grid: true}), parentId: ref("Owner", "ids"),
        parentType: OWNER}},
    sipTrunks: {byName: true, label: "SIP trunks", row: "SIP trunk", parent: "breltID", nameUnique: ["breltID"],
        unitGroup: "SIP", fields: {
        breltID: unit, target: address("Target", {grid: true}), prefix: phone("Prefix"), pattern: text("Pattern"),
        codec: choice("Codec", ["g711a", "g711u", "g722", "g722.1", "g729"])}},
    operatorGeneral: {byName: true, label: "Operators", row: "Operator", sharesIds: true, fields: {
        language: refName("Language", "globalOverviewLanguages", {grid: true}),
        conference: refName("Automatic conference", "globalOverviewConferences"),
        secondConference: refName("Second conference", "globalOverviewConferences"),
        followOperator: ref("Follow operator", "operatorGeneral"),
        headset: refName("Headset", "globalOverviewHeadsets"),
        phonebook: choice("Phone book mode", ["global", "private"]), automaticRadio: bool("Automatic radio"),
        radioShared: bool("Radio shared"), radioExclusive: bool("Radio exclusive"),
        radioPriority: number("Radio priority", 0, 9),
        radioCrosstalk: bool("Radio crosstalk"), onDemandInitiator: bool("On-demand initiator"),
        broadcast: bool("Broadcast"),
        autoDisconnect: bool("Auto disconnect"), radioVox: bool("Radio VOX"), liveMode: bool("Live mode"),
        defaultVolume: number("Default volume", 0, 100), callTimeout: time("Call timeout"),
        localVoxTimeout: time("Local VOX timeout"), maxConnectedRadios: number("Maximum connected radios", 0, 64),
        sideTone: bool("Side tone"), settingMenuTimeout: time("Settings menu timeout"),
        sipExtension: phone("SIP extension", notInFile), conferenceEnabled: bool("Conference enabled"),
        secondConferenceEnabled: bool("Second conference enabled"),
        followOperatorEnabled: bool("Follow operator enabled"),
        automaticRadioId: ref("Radio connected automatically", "radio")}},
    operatorHeadsets: {label: "Operator headsets", row: "Operator headset", parent: "operatorId",
        operatorPart: true, fields: {
        operatorId: operator, headsetId: ref("Headset", "globalOverviewHeadsets", {required: true, grid: true})}},
    selectedHeadsets: {label: "Selected headsets", row: "Selected headset", parent: "operatorId", fields: {
        headsetId: ref("Headset", "globalOverviewHeadsets", {required: true, grid: true}), operatorId: operator}},
    operatorSettingsMenu: {label: "Settings menu", row: "Settings menu entry", parent: "operatorId",
        operatorPart: true, fields: {
        position: number("Position", 0, 1000, {grid: true}), operatorId: operator}},
    keypadDisplayButton: {label: "Keypad buttons", row: "Keypad button", parent: "operatorId", operatorPart: true,
        fields: {
        operatorId: operator, buttonLabelPrefix: text("Key", {grid: true}),
        // The import gives a top-level button the parent "-1".
        parentButtonId: ref("In the submenu of", "keypadDisplayButton", {none: "-1"}),
        type: text("Type", {grid: true}),
        ...keyIcon("icon", "Icon"), ...keyIcon("subIcon", "Sub-icon"),
        infoShowConnections: bool("Show connections"), showActivity: bool("Show activity"),
        conference: ref("Conference", "globalOverviewConferences"), fieldPhone: ref("Field phone", "telephoneLine"),
        pabxPhone: ref("PABX line", "telephoneLine"), receiveCalls: bool("Receive calls"),
        conferenceAutocall: bool("Conference autocall"), remoteUser: ref("Remote user", "operatorGeneral"),
        connectToOperator: ref("Connect to operator", "operatorGeneral"),
        conferenceRadioActive: bool("Conference radio active"),
        radio: ref("Radio", "radio"), radioShared: bool("Radio shared"), radioExclusive: bool("Radio exclusive"),
        radioPriority: number("Radio priority", 0, 9), remoteRadio: ref("Remote radio", "radio"),
        crosstalk: bool("Crosstalk"),
        sourceEndpoint: ref("Source endpoint", "endpoint"),
        destinationEndpoint: ref("Destination endpoint", "endpoint"),
        monitorSource: ref("Monitor source", "ids"), monitorDestination: ref("Monitor destination", "ids"),
        monitorMode: number("Monitor mode", 0, 9), monitorGain: number("Monitor gain", 0, 10),
        monitorShowActivity: bool("Monitor shows activity"),
        retransmissionRadio1: ref("Retransmission radio 1", "radio"),
        retransmissionRadio2: ref("Retransmission radio 2", "radio"), shiftTimeout: time("Shift timeout"),
        gpsMode: number("GPS mode", 0, 9), holdFunction: text("Hold function"), shiftFunction: text("Shift function"),
        morvexAllowModify: bool("Allow modification"), submenuName: text("Submenu name")}},
    rotaryDialButton: {label: "Rotary dial buttons", row: "Rotary dial button", parent: "operatorId",
        operatorPart: true, fields: {
        operatorId: operator, buttonNumber: number("Button number", 0, 99, {grid: true}),
        type: choice("Type", ["Talk to", "Only radio", "Conference", "Phone"], {grid: true}),
        user: ref("User", "operatorGeneral"), conference: ref("Conference", "globalOverviewConferences"),
        autoCall: bool("Automatic call"), phoneLine: ref("Phone line", "telephoneLine"),
        phoneNumber: phone("Phone number"),
        ...dialRadio("radio", "Radio"), ...dialRadio("radio2", "Second radio"),
        retransmission: bool("Retransmission"),
        route: bool("Route"), routeSource: ref("Route source", "endpoint"),
        routeDestination: ref("Route destination", "endpoint")}},
    monitors: {label: "Monitors", row: "Monitor", catalogue: true, fields: {
        speakerId: ref("Speaker", "speaker", {grid: true}), source: text("Source", {grid: true}),
        mode: number("Mode", 0, 9), gain: number("Gain", 0, 10)}},
    selectedMonitors: {label: "Selected monitors", row: "Selected monitor", parent: "parentId",
        nameUnique: ["parentId", "sourceId"], fields: {
        parentId: ref("Owner", "ids", {grid: true}), sourceId: ref("Source", "ids", {grid: true}),
        destinationId: ref("Destination", "ids"),
        type: choice("Source kind", ["transceiver", "conference", "operator"]),
        mode: number("Mode", 0, 9), gain: number("Gain", 0, 10)}},
    privatePhoneBook: {byName: true, label: "Private phone book", row: "Contact", parent: "operatorId",
        nameUnique: ["operatorId"],
        operatorPart: true, fields: {
            operatorId: operator, contactType: choice("Contact type", CONTACT_TYPES, {required: true, grid: true}),
            contactNumber: phone("Number", {grid: true}), sipAddress: text("SIP address")}},
};

/** What the pages and the store disagree on: columns described here that the store lacks, and the reverse. */
export function schemaMismatches() {
    const found = [];
    for (const [name, columns] of Object.entries(STORE_TABLES)) {
        const t = TABLES[name];
        if (!t) { found.push(`the store's table ${name} is not described`); continue; }
        for (const c of columns)
            if (c !== "id" && c !== "name" && !(c in t.fields)) found.push(`${name}.${c} is not described`);
        for (const c of Object.keys(t.fields))
            if (!columns.includes(c)) found.push(`${name}.${c} is described but the store has no such column`);
    }
    for (const name of Object.keys(TABLES))
        if (!(name in STORE_TABLES)) found.push(`${name} is described but the store has no such table`);
    return found;
}

/** @type {Map<string, Table>} */
export const SCHEMA = new Map(Object.entries(TABLES).filter(([name]) => name in STORE_TABLES).map(([name, t]) => {
    /** @type {Record<string, Partial<Column>>} */
    const fields = t.fields;
    const columns = STORE_TABLES[name].map(column => /** @type {Column} */ ({
        name: column,
        ...(column === "id" ? {label: "Id", kind: "text", hidden: true}
            : column === "name" ? {label: "Name", kind: "text", required: !!t.byName}
                : {label: column, kind: "text"}),
        ...fields[column],
    }));
    return [name, {name, label: t.label, row: t.row || t.label, columns, single: !!t.single,
        named: STORE_TABLES[name].includes("name"), parent: t.parent, nameUnique: t.nameUnique,
        sharesIds: !!t.sharesIds, unitGroup: t.unitGroup, operatorPart: !!t.operatorPart, catalogue: !!t.catalogue}];
}));

/** @param {string} name @returns {Table | undefined} */
export const tableOf = name => SCHEMA.get(name);

/** The columns a grid shows: the name, then those marked for it. @param {Table} table */
export const gridColumns = table => table.columns.filter(c => !c.hidden && (c.name === "name" || c.grid));

/** The overview's groups of a central unit's tables, in the order of the descriptions. */
export const UNIT_GROUPS = [...new Set([...SCHEMA.values()].map(t => t.unitGroup).filter(Boolean))]
    .map(group => ({group, tables: [...SCHEMA.values()].filter(t => t.unitGroup === group).map(t => t.name)}));

/** The tables counted per operator in the overview. */
export const OPERATOR_TABLES = [...SCHEMA.values()].filter(t => t.operatorPart).map(t => t.name);
