/*
 * The messages between the panel and the Portolan plug-in: their IDs and keys, typed reads of
 * incoming messages, the font-list file and the smart-list tree text.
 */
(function (global) {
    'use strict';

    var MSG = {
        ACTIVATE_FAMILY: 8,
        ENABLE_WEB_FONTS: 9,
        WEB_FONTS_STATE: 10,
        GET_DIMENSIONS: 11,
        SET_DIMENSIONS: 12,
        DELETE_TMP_FILE: 13,
        IS_WINDOWS: 16,
        SET_SELECTION: 17,
        GET_SELECTION: 18,
        COULD_NOT_CREATE_TMP_FILE: 19,
        CONNECTION_COMPLETE: 20,
        WEB_FONTS_ENABLED: 22,
        WEB_FONTS_DISABLED: 23,
        FONTS_ACTIVATED: 24,
        FONTS_DEACTIVATED: 25,
        WEB_FONTS_PROGRESS: 28,
        WEB_FONTS_STOPPED: 29,
        ENABLED: 30,
        FONT_PREVIEWS: 32,
        RENAME_SMART_LIST_LOGGED: 33,
        DELETE_SMART_LIST: 34,
        QUERY_SMART_LIST_FONTS: 35,
        GET_SMART_LIST: 36,
        GET_SMART_LIST_TREE: 37,
        GET_ALL_SMART_LISTS: 38,
        CREATE_SMART_LIST: 39,
        GET_SMART_LIST_FONTS: 40,
        FONT_LIST: 41,
        SET_SMART_LIST_QUERY: 42,
        SMART_LISTS_CHANGED: 43,
        RENAME_SMART_LIST: 44,
        FONTS_MISSING: 45,
        ACTIVATION_ERROR: 46,
        TRACK_CLICK: 47,
        LOGGED_IN_CHANGED: 50,
        BULK_PROGRESS: 52,
        BULK_STOPPED: 53,
        INCREMENTAL_PROGRESS: 54,
        INCREMENTAL_STOPPED: 55,
        DATA_CHANGED: 56,
        CAN_ACCESS_WEB_FONTS: 58,
        FONTS_NONCOMPLIANT: 60,
        OFFLINE: 61,
        ONLINE: 62,
        OFFLINE_DOWNLOAD_FINISHED: 63,
        WORKGROUPS_SERVER: 64,
        WORKGROUPS_LOCAL: 65,
        START_PANEL: 66,
        KEY_EVENT: 67,
        SERVER_PROGRESS: 68,
        SERVER_STOPPED: 69
    };

    var KEY = {
        MESSAGE_ID: 'messageID',
        RETURN_CODE: 'returnCode',
        FONT_ID: 'fontID',
        FONT_IDS: 'fontIDs',
        HIGH_PRIORITY_FONT_IDS: 'highPriorityFontIDs',
        FONTS: 'fonts',
        PNG: 'pngFilename',
        PNG_2X: '2xPNGFilename',
        POSTSCRIPT_NAME: 'postscriptName',
        DISPLAY_NAME: 'displayName',
        CAN_ACCESS_WEB_FONTS: 'canAccessGoogleFonts',
        IS_ENABLED: 'isEnabled',
        IS_REPLICATING: 'isReplicating',
        IS_STANDALONE: 'isStandalone',
        WIDTH: 'width',
        HEIGHT: 'height',
        WINDOW_WIDTH: 'windowWidth',
        WINDOW_HEIGHT: 'windowHeight',
        SELECTION: 'selection',
        SAVES_SMART_LIST: 'savesSmartList',
        CONFLICT_ID: 'conflictID',
        IS_CONFLICT_ERROR: 'isConflictError',
        VERSION: 'version',
        CTRL: 'isCtrlPressed',
        SHIFT: 'isShiftPressed',
        ALT: 'isAltPressed',
        KEY_CODE: 'keyCode',
        TEXT: 'text',
        STEP_INDEX: 'stepIndex',
        NUM_STEPS: 'numSteps',
        SMART_LIST_ID: 'smartListID',
        SMART_LIST_NAME: 'smartListName',
        SMART_LIST: 'smartList',
        SMART_LISTS: 'smartLists',
        LIST_DEFINITION: 'listDefinition',
        WORKGROUP_IDS: 'workgroupIDs',
        SET_IDS: 'setIDs',
        SMART_SET_IDS: 'smartSetIDs',
        FILENAME: 'filename'
    };

    // Progress messages and the message that ends each of them.
    var PROGRESS = {};
    PROGRESS[MSG.WEB_FONTS_PROGRESS] = MSG.WEB_FONTS_STOPPED;
    PROGRESS[MSG.BULK_PROGRESS] = MSG.BULK_STOPPED;
    PROGRESS[MSG.INCREMENTAL_PROGRESS] = MSG.INCREMENTAL_STOPPED;
    PROGRESS[MSG.SERVER_PROGRESS] = MSG.SERVER_STOPPED;

    // Typed reads: each returns the fallback when the key is missing or of the wrong type.
    function int(message, key, fallback) {
        var v = message[key];
        if (typeof v === 'number' && isFinite(v) && Math.floor(v) === v) {
            return v;
        }
        if (typeof v === 'boolean') {
            return v ? 1 : 0;
        }
        return fallback;
    }

    function bool(message, key, fallback) {
        var v = message[key];
        if (typeof v === 'boolean') {
            return v;
        }
        if (typeof v === 'number' && isFinite(v)) {
            return v !== 0;
        }
        return fallback;
    }

    function str(message, key, fallback) {
        var v = message[key];
        return typeof v === 'string' ? v : fallback;
    }

    // The integers of an array (other elements skipped); null when the key holds no array.
    function intArray(message, key) {
        var v = message[key];
        if (!Array.isArray(v)) {
            return null;
        }
        var out = [];
        for (var i = 0; i < v.length; i++) {
            if (typeof v[i] === 'number' && isFinite(v[i]) && Math.floor(v[i]) === v[i]) {
                out.push(v[i]);
            }
        }
        return out;
    }

    function objectArray(message, key) {
        var v = message[key];
        if (!Array.isArray(v)) {
            return [];
        }
        return v.filter(function (e) {
            return e !== null && typeof e === 'object' && !Array.isArray(e);
        });
    }

    // A message router: on(id, handler) registers; dispatch(message) calls the handlers of its ID.
    // A handler that throws on odd content is contained here, so no message can break the panel.
    function Router(send) {
        this.handlers = {};
        this.sendFn = send;
        this.onError = null;
    }

    Router.prototype.on = function (id, handler) {
        (this.handlers[id] = this.handlers[id] || []).push(handler);
        return this;
    };

    Router.prototype.dispatch = function (message) {
        var id = int(message, KEY.MESSAGE_ID, null);
        var list = id === null ? null : this.handlers[id];
        if (!list) {
            return false;
        }
        for (var i = 0; i < list.length; i++) {
            try {
                list[i](message);
            } catch (e) {
                if (this.onError) {
                    this.onError(id, e);
                }
            }
        }
        return true;
    };

    Router.prototype.send = function (id, fields) {
        var message = {};
        message[KEY.MESSAGE_ID] = id;
        if (fields) {
            Object.keys(fields).forEach(function (k) {
                message[k] = fields[k];
            });
        }
        this.sendFn(message);
        return message;
    };

    var LOCATIONS = { desktop: true, system: true, google: true, typekit: true };

    // The font-list file: one font a line, tab-separated: id, display name, PostScript name,
    // activated, location word, local. Lines that do not fit are skipped.
    function parseFontList(text) {
        var fonts = [];
        if (typeof text !== 'string') {
            return fonts;
        }
        var lines = text.split('\n');
        for (var i = 0; i < lines.length; i++) {
            var line = lines[i].replace(/\r$/, '');
            if (!line) {
                continue;
            }
            var f = line.split('\t');
            if (f.length < 4 || !/^-?\d+$/.test(f[0])) {
                continue;
            }
            var location = f.length > 4 && LOCATIONS[f[4]] ? f[4] : '';
            fonts.push({
                id: parseInt(f[0], 10),
                name: f[1],
                postscriptName: f[2],
                activated: /^-?\d+$/.test(f[3]) && parseInt(f[3], 10) !== 0,
                location: location,
                local: f.length > 5 && /^-?\d+$/.test(f[5]) ? parseInt(f[5], 10) !== 0 : true
            });
        }
        return fonts;
    }

    function decodeBase64Utf8(text) {
        var binary = global.atob(String(text).replace(/\s+/g, ''));
        var bytes = new Uint8Array(binary.length);
        for (var i = 0; i < binary.length; i++) {
            bytes[i] = binary.charCodeAt(i);
        }
        if (typeof global.TextDecoder === 'function') {
            return new global.TextDecoder('utf-8').decode(bytes);
        }
        return decodeURIComponent(escape(binary));
    }

    // The tree text of a smart list, Base64 of UTF-8 lines such as
    //   smart list 3 "Posters": any of
    //     workgroup 1 "Font Library"
    //     set 2 "Poster fonts" (2 fonts)
    // The plug-in drops the line feeds, so members are found by pattern, not by line. Returns the
    // members named in it as [{kind: 'workgroup'|'set'|'smartset', id, name}]; other text is ignored.
    function parseTree(encoded) {
        var text;
        try {
            text = decodeBase64Utf8(encoded);
        } catch (e) {
            return [];
        }
        var members = [];
        var pattern = /(smart set|workgroup|set)\s+(\d+)\s+"((?:[^"\\]|\\.)*)"/g;
        var m;
        while ((m = pattern.exec(text)) !== null) {
            var before = m.index > 0 ? text.charAt(m.index - 1) : ' ';
            if (/[A-Za-z]/.test(before)) {
                continue;
            }
            members.push({
                kind: m[1] === 'smart set' ? 'smartset' : m[1],
                id: parseInt(m[2], 10),
                name: m[3].replace(/\\(.)/g, '$1')
            });
        }
        return members;
    }

    global.LumorandProtocol = {
        MSG: MSG,
        KEY: KEY,
        PROGRESS: PROGRESS,
        int: int,
        bool: bool,
        str: str,
        intArray: intArray,
        objectArray: objectArray,
        Router: Router,
        parseFontList: parseFontList,
        parseTree: parseTree
    };
})(window);
