// Every table of the configuration store, described once: its columns in the store's order, how
// each is labelled and edited, which rows it references, and what a row needs so that the next
// load keeps it. The grid, the form and the overview are drawn from these descriptions alone.

/**
 * @typedef {"text" | "number" | "bool" | "choice" | "ref" | "refName"} Kind
 * @typedef {{
 *   name: string, label: string, kind: Kind, min?: number, max?: number, choices?: string[],
 *   table?: string, required?: boolean, grid?: boolean, hidden?: boolean
 * }} Column
 * @typedef {{
 *   name: string, label: string, columns: Column[], single?: boolean, named: boolean,
 *   parent?: string, nameUnique?: string[]
 * }} Table
 * A table marked `byName` holds objects that the configuration file names by their name: a row
 * without one cannot be written.
 */

/** @param {string} label @param {Partial<Column>} [more] */
const text = (label, more = {}) => ({label, kind: "text", ...more});
/** @param {string} label @param {number} min @param {number} max @param {Partial<Column>} [more] */
const number = (label, min, max, more = {}) => ({label, kind: "number", min, max, ...more});
/** @param {string} label @param {Partial<Column>} [more] */
const bool = (label, more = {}) => ({label, kind: "bool", ...more});
/** @param {string} label @param {string[]} choices @param {Partial<Column>} [more] */
const choice = (label, choices, more = {}) => ({label, kind: "choice", choices, ...more});
/** A column holding another row's id, chosen by that row's name. @param {string} label @param {string} table @param {Partial<Column>} [more] */
const ref = (label, table, more = {}) => ({label, kind: "ref", table, ...more});
/** A column holding another row's name. @param {string} label @param {string} table @param {Partial<Column>} [more] */
const refName = (label, table, more = {}) => ({label, kind: "refName", table, ...more});

// Devices may stand outside every unit (the file keeps them in its device list).
const unit = ref("Central unit", "centralUnits", {grid: true});
const operator = ref("Operator", "operatorGeneral", {required: true, grid: true});
const port = (/** @type {string} */ label) => number(label, 0, 65535);
const lines = (/** @type {number} */ count) =>
    Object.fromEntries(Array.from({length: count}, (_, i) => [`line${i + 1}`, bool(`Line ${i + 1}`)]));

// Columns not named in a table's `fields` are text, labelled from their names; "id" is never edited.
const TABLES = {
    ids: {label: "Object register", columns: "id name type cbm", fields: {
        type: choice("Kind", ["transceiver", "conference", "operator", "speaker", "telephone", "phone", "event", "unknown"], {grid: true}),
        cbm: bool("CBM")}},
    Configuration: {label: "Configuration name", single: true, byName: true, columns: "id name", fields: {name: text("File name", {required: true})}},
    cubSettings: {label: "System settings", single: true,
        columns: "id name filename organization language networkKey multicastAddress sipTrunkAddress multicastTtl broadcastTimeout timeout",
        fields: {multicastTtl: number("Multicast TTL", 0, 255), broadcastTimeout: bool("Broadcast timeout"),
            timeout: number("Timeout", 0, 86400)}},
    globalOverviewLanguages: {byName: true, label: "Languages", columns: "id name"},
    languagesUsed: {label: "Languages used", columns: "id name languageId", fields: {languageId: ref("Language", "globalOverviewLanguages", {grid: true})}},
    Texts: {byName: true, label: "Texts", columns: "id name"},
    globalAudioSetupTranslations: {label: "Translations", columns: "id name translation languageId",
        fields: {translation: text("Translation", {grid: true}), languageId: text("Language", {grid: true})}},
    audioFiles: {label: "Announcement files", columns: "id name"},
    globalAudioSetupAudioRepository: {label: "Announcement repository", columns: "id name languageId rate size type duration",
        fields: {languageId: text("Language", {grid: true}), duration: text("Duration", {grid: true})}},
    globalOverviewConferences: {byName: true, label: "Conferences", columns: "id name description conferenceType multicastGroup port ttl sipExtension",
        fields: {conferenceType: text("Conference type", {grid: true}), port: port("Port"), ttl: number("TTL", 0, 255)}},
    globalEvents: {byName: true, label: "Events", columns: "id name description textMessage audioFile repeats volume",
        fields: {description: text("Description", {grid: true}), audioFile: refName("Audio file", "audioFiles", {grid: true}), repeats: number("Repeats", 0, 1000), volume: number("Volume", 0, 100)}},
    globalOverviewHeadsets: {byName: true, label: "Headsets",
        columns: "id name inputSensitivity inputSensitivity2 inputGain outputGain outputGain2 sideToneLevel biasingVoltage soundPressureLevel speechDetectionLevel speechDetectionSensitivity microphoneDetection asymmetricMicrophone asymmetricMicrophone2 highOutput highOutput2 extended eventId",
        fields: {biasingVoltage: bool("Biasing voltage"), microphoneDetection: bool("Microphone detection"),
            asymmetricMicrophone: bool("Asymmetric microphone"), asymmetricMicrophone2: bool("Asymmetric microphone 2"),
            highOutput: bool("High output"), highOutput2: bool("High output 2"), eventId: ref("Event", "globalEvents")}},
    globalOverviewPhoneBook: {byName: true, label: "Global phone book", columns: "id name contactType contactNumber sipAddress",
        // A contact without a type is skipped by the next load.
        fields: {contactType: text("Contact type", {required: true, grid: true}), contactNumber: text("Number", {grid: true})}},
    globalOverviewRadioModels: {byName: true, label: "Radio models",
        columns: "id name inputGain outputGain transmitReceiveDelay receiveTransmitDelay duplex capabilityMorvexAsciiCommands type sideTone sideToneLevel",
        fields: {capabilityMorvexAsciiCommands: bool("ASCII command capability"), sideTone: bool("Side tone"),
            type: choice("Connection type", ["analog", "usb", "ip"], {required: true, grid: true})}},
    globalOverviewSipAliases: {label: "SIP accounts", columns: "id name type parentId parentType alias password callNumber callerId",
        nameUnique: ["parentId"],
        fields: {type: choice("Kind", ["account"], {grid: true}), parentId: ref("Owner", "ids", {grid: true}), alias: text("Alias", {grid: true})}},
    centralUnits: {byName: true, label: "Central units",
        columns: "id name type line1Master disableLocalEcho ipAddress netMask useDhcp sipExchangeNumber sipDomain sipRegistrar ospf2RouterId ospf3RouterId",
        fields: {type: text("Model", {grid: true}), line1Master: bool("Line 1 master"),
            disableLocalEcho: bool("Disable local echo with PABX"), ipAddress: text("IP address", {grid: true}),
            useDhcp: bool("Use DHCP"), sipExchangeNumber: text("SIP exchange number")}},
    crewStation: {byName: true, label: "Crew stations", parent: "breltID",
        columns: "id name breltID type showSplash brightness contrast endpoint rate parity addOnH dataBits stopBits masterOperator slaveOperator line1 line2 line3 line4 line5 line6 line7 line8 line9 line10 line11 line12",
        fields: {breltID: unit, type: text("Model", {grid: true}), brightness: number("Brightness", 0, 100), contrast: number("Contrast", 0, 100),
            addOnH: bool("Add-on H"), dataBits: number("Data bits", 5, 8), stopBits: number("Stop bits", 1, 2),
            masterOperator: ref("Master operator", "operatorGeneral"), slaveOperator: ref("Slave operator", "operatorGeneral"), ...lines(12)}},
    radio: {byName: true, label: "Radios", parent: "breltID",
        columns: "id name breltID type differential transmitTimeout timeout firstWarning secondWarning retransmissionDelay audioDelay operatorAudioDelay operatorDelay dataPortEndpoint dataPortRate synchronous rtsCtsFlowControl dataPortPppConnection dataPortPppConnectionLocalIp dataPortPppConnectionRemoteIp dataPortPppConnectionOptions controlPortEndpoint controlPortRate controlPortPppConnection controlPortPppConnectionLocalIp controlPortPppConnectionRemoteIp controlPortPppConnectionOptions remoteControl remoteControlConnection remoteControlIpAddress remoteControlEndpoint applicationPortEndpoint ipAddress netMask statusPortEndpoint tracePortEndpoint debugPortEndpoint force line1 line2 line3 line4 sipExtension remoteControlPort transmitRtpPort receiveRtpPort rtpLine1 rtpLine2 rtpLine3 rtpLine4",
        // The model's connection type decides how the radio is written; without one it is read back as analog.
        fields: {breltID: unit, type: refName("Model", "globalOverviewRadioModels", {required: true, grid: true}),
            differential: bool("Differential"), transmitTimeout: bool("Transmit timeout"), retransmissionDelay: bool("Retransmission delay"),
            operatorAudioDelay: bool("Operator audio delay"), synchronous: bool("Synchronous"),
            dataPortPppConnection: bool("Data port PPP connection"), controlPortPppConnection: bool("Control port PPP connection"),
            remoteControl: bool("Remote control"), force: bool("Force"), ...lines(4),
            remoteControlPort: port("Remote control port"), transmitRtpPort: port("Transmit RTP port"), receiveRtpPort: port("Receive RTP port")}},
    telephone: {byName: true, label: "Telephones", parent: "breltID",
        columns: "id name breltID type line1Enabled line1Id line1InputLevel line1OutputLevel line1DTMF line1LoginCode line1LogoutCode line1PbxAnswering line1LineDetection line1CallingTimeout line1SilenceTimeout line1SipExtension line2Enabled line2Id line2InputLevel line2OutputLevel line2DTMF line2LoginCode line2LogoutCode line2FieldPhone line2PbxAnswering line2LineDetection line2CallingTimeout line2SilenceTimeout line2SipExtension alarmTrigger1 alarmEventId1 alarmTrigger2 alarmEventId2 alarmTrigger3 alarmEventId3 alarmTrigger4 alarmEventId4 alarmTrigger5 alarmEventId5 alarmTrigger6 alarmEventId6 alarmTrigger7 alarmEventId7 alarmTrigger8 alarmEventId8 line1 line2 line3 line4 line5 line6 line7 line8 line9 line10 line11 line12",
        fields: {breltID: unit, type: text("Model", {grid: true}), line1Enabled: bool("Line 1 enabled"), line2Enabled: bool("Line 2 enabled"),
            line1PbxAnswering: bool("Line 1 PABX answering"), line1LineDetection: bool("Line 1 line detection"),
            line2FieldPhone: bool("Line 2 field phone"), line2PbxAnswering: bool("Line 2 PABX answering"),
            line2LineDetection: bool("Line 2 line detection"), ...lines(12),
            ...Object.fromEntries(Array.from({length: 8}, (_, i) => [`alarmEventId${i + 1}`, ref(`Alarm ${i + 1} event`, "globalEvents")]))}},
    telephoneLine: {label: "Telephone lines", parent: "parentId", columns: "id name parentId line",
        fields: {parentId: ref("Telephone", "telephone", {required: true, grid: true}), line: number("Line", 1, 2, {grid: true})}},
    serialPort: {byName: true, label: "Serial ports", parent: "breltID", columns: "id name breltID endpoint rate parity dataBits stopBits rts dtr rs485 line1 line2 line3 line4",
        fields: {breltID: unit, endpoint: text("Endpoint", {grid: true}), dataBits: number("Data bits", 5, 8), stopBits: number("Stop bits", 1, 2),
            rs485: bool("RS-485"), ...lines(4)}},
    speaker: {byName: true, label: "Speakers", parent: "breltID", columns: "id name breltID playAnnouncements volume line1 sipExtension",
        fields: {breltID: unit, playAnnouncements: bool("Plays announcements"), volume: number("Volume", 0, 100), ...lines(1)}},
    usbAudio: {byName: true, label: "USB audio devices", parent: "breltID", columns: "id name breltID inputGain outputGain masterOperator line1 line2",
        fields: {breltID: unit, masterOperator: ref("Master operator", "operatorGeneral"), ...lines(2)}},
    daemons: {label: "Programs", parent: "breltID", columns: "id name breltID application path parameters mode delay noAuto position enabled",
        fields: {breltID: unit, application: text("Application", {grid: true}), noAuto: bool("No automatic start"),
            position: number("Position", 0, 100000, {grid: true}), enabled: bool("Enabled", {grid: true})}},
    services: {label: "Services", parent: "breltID",
        columns: "id name breltID nmeaGps nmeaEndpoint distributedDis ktx ospf ospf3 rip ripng bgp overlord overlordPassword",
        fields: {breltID: unit, nmeaGps: bool("NMEA GPS"), distributedDis: bool("Distributed DIS"), ktx: bool("KTX"),
            overlord: bool("Overlord"), overlordPassword: text("Overlord password")}},
    endpoint: {label: "Endpoints", parent: "parentId", columns: "id name parentId type parentType listeningPort destinationAddress destinationPort path",
        fields: {parentId: ref("Owner", "ids", {grid: true}), listeningPort: port("Listening port"), destinationPort: port("Destination port")}},
    pppProperties: {label: "PPP links", parent: "parentId", columns: "id name parentId parentType localIp remoteIp options",
        fields: {parentId: ref("Owner", "ids", {grid: true}), parentType: text("Owner kind", {grid: true}),
            localIp: text("Local IP", {grid: true}), remoteIp: text("Remote IP", {grid: true})}},
    routingProtocols: {label: "Routing protocols", parent: "parentId",
        columns: "id name parentId pppId parentType parentTypeName interfaceName rip ripSendVersion ripReceiveVersion ripng ospf2 ospf2Area ospf2Priority ospf3 ospf3Area ospf3Priority",
        fields: {parentId: ref("Owner", "ids", {required: true, grid: true}), pppId: ref("PPP link", "pppProperties"),
            parentType: choice("Owner kind", ["centralUnit", "radioData", "radioControl", "radioUsb", "ppp"], {required: true, grid: true}),
            rip: bool("RIP"), ripng: bool("RIPng"), ospf2: bool("OSPFv2"), ospf3: bool("OSPFv3"),
            ospf2Priority: number("OSPFv2 priority", 0, 255), ospf3Priority: number("OSPFv3 priority", 0, 255)}},
    staticRouting: {label: "Static routes", parent: "breltID",
        columns: "id name breltID targetAddress targetAddressAddress targetSubnet targetSubnetAddress targetSubnetMask gatewayInterface gatewayInterfaceName gatewayIpAddress gatewayIpAddressAddress metric",
        fields: {breltID: unit, targetAddress: bool("Target is an address"), targetSubnet: bool("Target is a subnet"),
            gatewayInterface: bool("Gateway is an interface"), gatewayIpAddress: bool("Gateway is an IP address"),
            metric: number("Metric", 0, 65535, {grid: true})}},
    route: {label: "Audio routes", columns: "id name sourceId destinationId parentId parentType",
        fields: {sourceId: ref("Source", "ids", {required: true, grid: true}), destinationId: ref("Destination", "ids", {required: true, grid: true}),
            parentId: ref("Owner", "ids")}},
    sipTrunks: {byName: true, label: "SIP trunks", parent: "breltID", columns: "id name breltID target prefix pattern codec", nameUnique: ["breltID"],
        fields: {breltID: unit, target: text("Target", {grid: true}), codec: text("Codec")}},
    operatorGeneral: {byName: true, label: "Operators",
        columns: "id name language conference secondConference followOperator headset phonebook automaticRadio radioShared radioExclusive radioPriority radioCrosstalk onDemandInitiator broadcast autoDisconnect radioVox liveMode defaultVolume callTimeout localVoxTimeout maxConnectedRadios sideTone settingMenuTimeout sipExtension conferenceEnabled secondConferenceEnabled followOperatorEnabled automaticRadioId",
        fields: {language: text("Language", {grid: true}), automaticRadio: bool("Automatic radio"),
            radioShared: bool("Radio shared"), radioExclusive: bool("Radio exclusive"), radioCrosstalk: bool("Radio crosstalk"),
            onDemandInitiator: bool("On-demand initiator"), broadcast: bool("Broadcast"), autoDisconnect: bool("Auto disconnect"),
            radioVox: bool("Radio VOX"), liveMode: bool("Live mode"), defaultVolume: number("Default volume", 0, 100),
            sideTone: bool("Side tone"), conferenceEnabled: bool("Conference enabled"), secondConferenceEnabled: bool("Second conference enabled"),
            followOperatorEnabled: bool("Follow operator enabled"), sipExtension: text("SIP extension", {grid: true})}},
    operatorHeadsets: {label: "Operator headsets", parent: "operatorId", columns: "id name operatorId headsetId",
        fields: {operatorId: operator, headsetId: ref("Headset", "globalOverviewHeadsets", {required: true, grid: true})}},
    selectedHeadsets: {label: "Selected headsets", parent: "operatorId", columns: "id name headsetId operatorId",
        fields: {headsetId: ref("Headset", "globalOverviewHeadsets", {required: true, grid: true}), operatorId: operator}},
    operatorSettingsMenu: {label: "Settings menu", parent: "operatorId", columns: "id name position operatorId",
        fields: {position: number("Position", 0, 1000, {grid: true}), operatorId: operator}},
    keypadDisplayButton: {label: "Keypad buttons", parent: "operatorId",
        columns: "id name operatorId buttonLabelPrefix parentButtonId type icon iconUpperBadge iconLowerBadge subIcon subIconUpperBadge subIconLowerBadge infoShowConnections showActivity conference fieldPhone pabxPhone receiveCalls conferenceAutocall remoteUser connectToOperator conferenceRadioActive radio radioShared radioExclusive radioPriority remoteRadio crosstalk sourceEndpoint destinationEndpoint monitorSource monitorDestination monitorMode monitorGain monitorShowActivity retransmissionRadio1 retransmissionRadio2 shiftTimeout gpsMode holdFunction shiftFunction morvexAllowModify submenuName",
        fields: {operatorId: operator, parentButtonId: ref("In the submenu of", "keypadDisplayButton"), type: text("Type", {grid: true}),
            infoShowConnections: bool("Show connections"), showActivity: bool("Show activity"), receiveCalls: bool("Receive calls"),
            conferenceAutocall: bool("Conference autocall"), crosstalk: bool("Crosstalk"), monitorShowActivity: bool("Monitor shows activity"),
            morvexAllowModify: bool("Allow modification")}},
    rotaryDialButton: {label: "Rotary dial buttons", parent: "operatorId",
        columns: "id operatorId buttonNumber type user conference autoCall phoneLine phoneNumber radio radioChosen radioShared radioExclusive radioPriority radioCrosstalk radio2 radio2Chosen radio2Shared radio2Exclusive radio2Priority radio2Crosstalk retransmission route routeSource routeDestination",
        fields: {operatorId: operator, buttonNumber: number("Button number", 0, 99, {grid: true}), type: text("Type", {grid: true})}},
    monitors: {label: "Monitors", columns: "id name speakerId source mode gain",
        fields: {speakerId: ref("Speaker", "speaker", {grid: true})}},
    selectedMonitors: {label: "Selected monitors", parent: "parentId", columns: "id name parentId sourceId destinationId type mode gain",
        nameUnique: ["parentId", "sourceId"],
        fields: {parentId: ref("Owner", "ids", {grid: true}), sourceId: ref("Source", "ids", {grid: true}), destinationId: ref("Destination", "ids")}},
    privatePhoneBook: {byName: true, label: "Private phone book", parent: "operatorId", columns: "id name operatorId contactType contactNumber sipAddress",
        nameUnique: ["operatorId"],
        fields: {operatorId: operator, contactType: text("Contact type", {required: true, grid: true}), contactNumber: text("Number", {grid: true})}},
};

const ABBREVIATIONS = new Set(["sip", "ip", "rtp", "dtmf", "ppp", "ttl", "usb", "nmea", "ospf", "rip", "pbx", "dtr", "rts", "cts", "gps", "id"]);

/** "sipExchangeNumber" -> "SIP exchange number". @param {string} name */
function labelOf(name) {
    const words = name.replace(/([a-z0-9])([A-Z])/g, "$1 $2").replace(/([a-zA-Z])(\d)/g, "$1 $2").toLowerCase().split(" ")
        .map(w => ABBREVIATIONS.has(w) ? w.toUpperCase() : w).join(" ");
    return words.charAt(0).toUpperCase() + words.slice(1);
}

/** @type {Map<string, Table>} */
export const SCHEMA = new Map(Object.entries(TABLES).map(([name, t]) => {
    const fields = /** @type {Record<string, Partial<Column>>} */ (t.fields || {});
    const columns = t.columns.split(" ").map(column => /** @type {Column} */ ({
        name: column,
        ...(column === "id" ? {label: "Id", kind: "text", hidden: true}
            : column === "name" ? {label: "Name", kind: "text", required: !!t.byName}
                : {label: labelOf(column), kind: "text"}),
        ...fields[column],
    }));
    return [name, {name, label: t.label, columns, single: !!t.single, named: t.columns.split(" ").includes("name"),
        parent: t.parent, nameUnique: t.nameUnique}];
}));

/** @param {string} name @returns {Table | undefined} */
export const tableOf = name => SCHEMA.get(name);

/** The columns a grid shows: the name, then those marked for it. @param {Table} table */
export const gridColumns = table => table.columns.filter(c => !c.hidden && (c.name === "name" || c.grid));
