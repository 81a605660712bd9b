'use strict';
// A fake of the event library's loopback bridge with a scripted plug-in behind it, for running
// the panel in a browser: GET /events (server-sent events from the host), POST /dispatch (the
// panel's events), GET /host-file/<file URL> (files named in the host's events), and the
// extension folder's files. The plug-in answers from an in-memory catalog, writes real font-list
// files and preview PNGs, and lets a test push any message.

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { encodePng } = require('../../panel/make-icons');

const PANEL_TO_PLUGIN = 'com.lumorand.PanelToPlugin';
const PLUGIN_TO_PANEL = 'com.lumorand.PluginToPanel';
const EXTENSION_DIR = path.resolve(__dirname, '../../panel/com.lumorand.panel');

const CONTENT_TYPES = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
    '.css': 'text/css; charset=utf-8', '.png': 'image/png', '.svg': 'image/svg+xml',
    '.xml': 'application/xml', '.json': 'application/json'
};

// A grey-and-alpha PNG whose dark bars differ from font to font (a stand-in for a rendered name).
function previewPng(fontID, scale) {
    const width = 120 * scale;
    const height = 30 * scale;
    const rows = [];
    for (let y = 0; y < height; y++) {
        const row = Buffer.alloc(1 + width * 2);
        for (let x = 0; x < width; x++) {
            const bar = Math.floor(x / (6 * scale));
            const on = ((fontID * 7 + bar * 13) % 5) > 1 && y > 8 * scale && y < 22 * scale;
            row[1 + x * 2] = 0;
            row[2 + x * 2] = on ? 255 : 0;
        }
        rows.push(row);
    }
    return encodePng(width, height, 4, rows);
}

const LOCATION_WORDS = ['desktop', 'system', 'google', 'typekit', ''];

function makeCatalog(count) {
    const families = ['Harbour Serif', 'Coast Sans', 'Meridian Mono', 'Atlas Display', 'Compass Text'];
    const styles = ['Regular', 'Italic', 'Bold', 'Bold Italic'];
    const fonts = [];
    for (let id = 1; id <= count; id++) {
        const family = families[(id - 1) % families.length] + ' ' + Math.floor((id - 1) / 20);
        const style = styles[Math.floor((id - 1) / families.length) % styles.length];
        fonts.push({
            id,
            family,
            name: `${family} ${style}`,
            postscriptName: `${family}-${style}`.replace(/ /g, ''),
            activated: id % 3 === 0 ? 1 : 0,
            location: LOCATION_WORDS[id % LOCATION_WORDS.length],
            local: 1
        });
    }
    return fonts;
}

class FakeBridge {
    constructor(options = {}) {
        this.fonts = makeCatalog(options.fonts === undefined ? 60 : options.fonts);
        this.fontById = new Map(this.fonts.map((f) => [f.id, f]));
        this.workgroups = new Map([[1, 'Font Library'], [2, 'Studio']]);
        this.sets = new Map([[2, 'Poster fonts'], [3, 'Book fonts']]);
        this.smartSets = new Map([[1, 'Garamonds']]);
        this.smartLists = new Map([
            [1, { name: 'All fonts', workgroupIDs: [1], setIDs: [], smartSetIDs: [] }],
            [2, { name: 'Posters', workgroupIDs: [], setIDs: [2], smartSetIDs: [] }],
            [3, { name: 'Books', workgroupIDs: [], setIDs: [3], smartSetIDs: [1] }]
        ]);
        this.nextSmartListID = 10;
        this.selection = options.selection === undefined ? 2 : options.selection;
        this.size = { width: 300, height: 520 };
        this.webFonts = { enabled: 0, access: 1 };
        this.conflicts = new Map(); // font ID -> conflicting font ID
        this.previewDelayMs = options.previewDelayMs === undefined ? 5 : options.previewDelayMs;
        this.answerLowPriority = options.answerLowPriority !== false;
        this.dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lumorand-fake-'));
        this.hostFiles = new Map(); // file URL -> local path
        this.tmpFiles = new Map(); // font-list URLs sent and not yet deleted
        this.deleted = []; // URLs that message 13 deleted
        this.received = []; // the panel's messages, parsed
        this.malformed = []; // data of the panel's events that were not messages
        this.sent = []; // every event sent to the panel: {id, event}
        this.clients = new Set();
        this.waiters = [];
        this.fileSerial = 0;
    }

    async start() {
        this.server = http.createServer((req, res) => this.handle(req, res));
        await new Promise((resolve) => this.server.listen(0, '127.0.0.1', resolve));
        this.url = `http://127.0.0.1:${this.server.address().port}`;
        return this;
    }

    async close() {
        for (const res of this.clients) {
            res.end();
        }
        const closed = new Promise((resolve) => this.server.close(resolve));
        this.server.closeAllConnections();
        await closed;
        fs.rmSync(this.dir, { recursive: true, force: true });
    }

    // ---- HTTP ----

    handle(req, res) {
        const url = new URL(req.url, this.url);
        if (req.method === 'GET' && url.pathname === '/events') {
            return this.openStream(req, res);
        }
        if (req.method === 'POST' && url.pathname === '/dispatch') {
            let body = '';
            req.on('data', (d) => {
                body += d;
            });
            req.on('end', () => this.onDispatch(body, res));
            return undefined;
        }
        if (req.method === 'GET' && url.pathname.startsWith('/host-file/')) {
            const fileUrl = decodeURIComponent(url.pathname.slice('/host-file/'.length));
            const local = this.hostFiles.get(fileUrl);
            if (!local || !fs.existsSync(local)) {
                res.writeHead(404).end();
                return undefined;
            }
            res.writeHead(200, { 'Content-Type': CONTENT_TYPES[path.extname(local)] || 'text/plain' });
            res.end(fs.readFileSync(local));
            return undefined;
        }
        if (req.method === 'GET') {
            const rel = decodeURIComponent(url.pathname).replace(/\/$/, '/index.html');
            const file = path.resolve(EXTENSION_DIR, '.' + rel);
            if (!file.startsWith(EXTENSION_DIR + path.sep) || !fs.existsSync(file)) {
                res.writeHead(404).end();
                return undefined;
            }
            const type = CONTENT_TYPES[path.extname(file)] || 'application/octet-stream';
            res.writeHead(200, { 'Content-Type': type });
            res.end(fs.readFileSync(file));
            return undefined;
        }
        res.writeHead(405).end();
        return undefined;
    }

    openStream(req, res) {
        res.writeHead(200, { 'Content-Type': 'text/event-stream', 'Cache-Control': 'no-cache' });
        res.write(':\n\n');
        const from = parseInt(req.headers['last-event-id'] || '0', 10);
        for (const e of this.sent) {
            if (e.id > from) {
                res.write(`id: ${e.id}\ndata: ${JSON.stringify(e.event)}\n\n`);
            }
        }
        this.clients.add(res);
        req.on('close', () => this.clients.delete(res));
    }

    onDispatch(body, res) {
        let event;
        try {
            event = JSON.parse(body);
        } catch (e) {
            event = null;
        }
        if (!event || typeof event.type !== 'string' || !event.type) {
            res.writeHead(400, { 'Content-Type': 'application/json' }).end('{"error":"bad event"}');
            return;
        }
        res.writeHead(200, { 'Content-Type': 'application/json' }).end('{"result":0}');
        if (event.type !== PANEL_TO_PLUGIN) {
            return;
        }
        let message;
        try {
            message = JSON.parse(typeof event.data === 'string' ? event.data : JSON.stringify(event.data));
        } catch (e) {
            message = null;
        }
        if (!message || typeof message !== 'object' || !Number.isInteger(message.messageID)) {
            this.malformed.push(event.data);
            return;
        }
        message.receivedAt = Date.now();
        this.received.push(message);
        this.answer(message);
        this.waiters = this.waiters.filter((w) => !w.check());
    }

    // ---- Sending to the panel ----

    // Sends raw event data, as the plug-in's event library would carry it.
    sendRaw(data) {
        const id = this.sent.length + 1;
        const event = { type: PLUGIN_TO_PANEL, scope: 1, appId: 'HTML', extensionId: null, data };
        this.sent.push({ id, event });
        for (const res of this.clients) {
            res.write(`id: ${id}\ndata: ${JSON.stringify(event)}\n\n`);
        }
    }

    send(message) {
        this.sendRaw('(' + JSON.stringify(message) + ')');
    }

    // Waits for a panel message that satisfies predicate (received from index `after` on).
    waitFor(predicate, { timeout = 5000, after = 0 } = {}) {
        const find = () => this.received.slice(after).find(predicate);
        const found = find();
        if (found) {
            return Promise.resolve(found);
        }
        return new Promise((resolve, reject) => {
            const waiter = {
                check: () => {
                    const m = find();
                    if (m) {
                        clearTimeout(waiter.timer);
                        resolve(m);
                    }
                    return !!m;
                }
            };
            waiter.timer = setTimeout(() => {
                this.waiters = this.waiters.filter((w) => w !== waiter);
                reject(new Error('no such panel message within ' + timeout + ' ms; got IDs ' +
                    this.received.slice(after).map((m) => m.messageID).join(',')));
            }, timeout);
            this.waiters.push(waiter);
        });
    }

    messages(id) {
        return this.received.filter((m) => m.messageID === id);
    }

    // ---- The plug-in ----

    later(fn, ms = 5) {
        setTimeout(fn, ms);
    }

    queryFonts(q) {
        const ids = new Set();
        for (const f of this.fonts) {
            const inSet = (s) => f.id % 10 === s;
            const inSmartSet = (s) => f.id % 25 === s;
            if ((q.workgroupIDs || []).some((w) => this.workgroups.has(w)) ||
                (q.setIDs || []).some(inSet) || (q.smartSetIDs || []).some(inSmartSet)) {
                ids.add(f.id);
            }
        }
        return this.fonts.filter((f) => ids.has(f.id));
    }

    sendFontListFile(fonts) {
        const local = path.join(this.dir, `lst${++this.fileSerial}.tmp`);
        const lines = fonts.map((f) =>
            `${f.id}\t${f.name}\t${f.postscriptName}\t${f.activated}\t${f.location}\t${f.local}\n`);
        fs.writeFileSync(local, lines.join(''));
        // The form the plug-in sends on Windows: a drive path after "file:///".
        const url = `file:///C:/Users/Designer/AppData/Local/Temp/lst${this.fileSerial}.tmp`;
        this.hostFiles.set(url, local);
        this.tmpFiles.set(url, local);
        this.send({ messageID: 41, filename: url });
    }

    sendPreviews(ids) {
        const fonts = [];
        for (const id of ids) {
            if (!this.fontById.has(id)) {
                continue;
            }
            const url = `file://C:/Users/Designer/AppData/Local/Temp/Lumorand/preview-${id}.png`;
            const url2x = `file://C:/Users/Designer/AppData/Local/Temp/Lumorand/preview-${id}@2x.png`;
            if (!this.hostFiles.has(url)) {
                const local = path.join(this.dir, `preview-${id}.png`);
                const local2x = path.join(this.dir, `preview-${id}@2x.png`);
                fs.writeFileSync(local, previewPng(id, 1));
                fs.writeFileSync(local2x, previewPng(id, 2));
                this.hostFiles.set(url, local);
                this.hostFiles.set(url2x, local2x);
            }
            fonts.push({ fontID: id, pngFilename: url, '2xPNGFilename': url2x });
        }
        if (fonts.length) {
            this.send({ messageID: 32, fonts });
        }
    }

    tree(id) {
        const list = this.smartLists.get(id);
        const lines = [`smart list ${id} "${list.name}": any of`];
        for (const w of list.workgroupIDs) {
            lines.push(`  workgroup ${w} "${this.workgroups.get(w) || '?'}"`);
        }
        for (const s of list.setIDs) {
            const count = this.queryFonts({ setIDs: [s] }).length;
            lines.push(`  set ${s} "${this.sets.get(s) || '?'}" (${count} fonts)`);
        }
        for (const s of list.smartSetIDs) {
            lines.push(`  smart set ${s} "${this.smartSets.get(s) || '?'}" (name contains "Garamond")`);
        }
        // The plug-in drops the line feeds before encoding.
        return Buffer.from(lines.join('\n').replace(/\n/g, ''), 'utf8').toString('base64');
    }

    familyOf(id) {
        const font = this.fontById.get(id);
        return font ? this.fonts.filter((f) => f.family === font.family).map((f) => f.id) : [];
    }

    answer(m) {
        const id = m.messageID;
        const listId = m.smartListID;
        const list = this.smartLists.get(listId);
        switch (id) {
        case 66:
            this.send({ messageID: 20, isStandalone: 0 });
            this.later(() => this.send({ messageID: 65 }));
            break;
        case 16:
            this.send({ messageID: 16, isWindows: true });
            break;
        case 10:
            this.send({ messageID: 10, isEnabled: this.webFonts.enabled, isReplicating: 0, replicationMode: 1,
                returnCode: 0 });
            break;
        case 58:
            this.send({ messageID: 58, canAccessGoogleFonts: this.webFonts.access });
            break;
        case 9:
            this.send({ messageID: 9, returnCode: 0 });
            this.later(() => {
                this.webFonts.enabled = 1;
                this.send({ messageID: 22 });
            });
            break;
        case 11:
            this.send({ messageID: 11, height: this.size.height, width: this.size.width });
            break;
        case 12:
            this.size = { width: m.windowWidth, height: m.windowHeight };
            break;
        case 18:
            this.send({ messageID: 18, selection: this.selection, savesSmartList: true });
            break;
        case 17:
            this.selection = m.selection;
            break;
        case 38:
            this.send({ messageID: 38, smartLists: [...this.smartLists].map(([smartListID, l]) =>
                ({ smartListID, smartListName: l.name })), returnCode: 0 });
            break;
        case 40:
            if (list) {
                this.sendFontListFile(this.queryFonts(list));
            }
            break;
        case 13:
            if (this.tmpFiles.has(m.filename)) {
                fs.rmSync(this.tmpFiles.get(m.filename), { force: true });
                this.tmpFiles.delete(m.filename);
                this.hostFiles.delete(m.filename);
                this.deleted.push(m.filename);
            }
            break;
        case 32: {
            const high = Array.isArray(m.highPriorityFontIDs) ? m.highPriorityFontIDs : [];
            const rest = Array.isArray(m.fontIDs) && this.answerLowPriority ? m.fontIDs : [];
            this.later(() => this.sendPreviews(high), this.previewDelayMs);
            for (let i = 0; i < rest.length; i += 200) {
                this.later(() => this.sendPreviews(rest.slice(i, i + 200)), this.previewDelayMs + 20 + i / 20);
            }
            break;
        }
        case 8: {
            this.send({ messageID: 8, returnCode: 0 });
            const conflict = this.conflicts.get(m.fontID);
            if (conflict !== undefined) {
                this.send({ messageID: 46, fontID: m.fontID, conflictID: conflict, isConflictError: true });
            } else {
                const family = this.familyOf(m.fontID);
                family.forEach((f) => {
                    this.fontById.get(f).activated = 1;
                });
                this.later(() => this.send({ messageID: 24, fontIDs: family }), 20);
            }
            break;
        }
        case 39: {
            const newId = this.nextSmartListID++;
            const query = { workgroupIDs: [], setIDs: [], smartSetIDs: [] };
            this.smartLists.set(newId, Object.assign({ name: m.smartListName }, query));
            this.send({ smartList: { smartListID: newId, smartListName: m.smartListName }, messageID: 39 });
            this.later(() => this.send({ messageID: 43 }), 20);
            break;
        }
        case 33:
        case 44:
            if (list && typeof m.smartListName === 'string') {
                list.name = m.smartListName;
                this.later(() => this.send({ messageID: 43 }), 20);
            }
            break;
        case 34:
            if (this.smartLists.delete(listId)) {
                this.later(() => this.send({ messageID: 43 }), 20);
            }
            break;
        case 36:
            if (list) {
                this.send({ messageID: 36, smartListID: listId, smartListName: list.name,
                    workgroupIDs: list.workgroupIDs, setIDs: list.setIDs, smartSetIDs: list.smartSetIDs });
            }
            break;
        case 37:
            if (list) {
                this.send({ messageID: 37, smartListID: listId, listDefinition: this.tree(listId) });
            }
            break;
        case 35:
            this.send({ messageID: 41, smartListID: listId, fontIDs: this.queryFonts(m).map((f) => f.id) });
            break;
        case 42:
            if (list) {
                list.workgroupIDs = m.workgroupIDs || [];
                list.setIDs = m.setIDs || [];
                list.smartSetIDs = m.smartSetIDs || [];
                this.sendFontListFile(this.queryFonts(list));
            }
            break;
        default:
            break; // 47, 67 and anything else: recorded only
        }
    }
}

async function startFakeBridge(options) {
    return new FakeBridge(options).start();
}

module.exports = { startFakeBridge, FakeBridge, previewPng, EXTENSION_DIR };
