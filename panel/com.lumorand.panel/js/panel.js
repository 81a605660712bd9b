/*
 * The Lumorand panel: smart lists and their fonts, activation on click, previews, web fonts,
 * progress and the plug-in's state, drawn in Photoshop's colours.
 */
(function (global) {
    'use strict';

    var Cep = global.LumorandCep;
    var P = global.LumorandProtocol;
    var MSG = P.MSG;
    var KEY = P.KEY;

    var PANEL_VERSION = '1.0.0';
    var ROW_HEIGHT = 36;
    var RESIZE_DELAY_MS = 400;

    // Keys the panel handles itself; every other key stroke outside a text field goes to Photoshop.
    var KEYS = {
        TAB: 9, ENTER: 13, ESCAPE: 27, SPACE: 32, PAGE_UP: 33, PAGE_DOWN: 34, END: 35, HOME: 36,
        LEFT: 37, UP: 38, RIGHT: 39, DOWN: 40
    };
    var PANEL_KEYS = Object.keys(KEYS).map(function (k) {
        return KEYS[k];
    });
    var MODIFIER_KEYS = [16, 17, 18, 20, 91, 92, 93];

    var BADGE_TEXT = {
        active: 'Active',
        inactive: 'Inactive',
        missing: 'Missing',
        noncompliant: 'Not allowed',
        error: 'Failed'
    };

    var PROGRESS_TEXT = {};
    PROGRESS_TEXT[MSG.WEB_FONTS_PROGRESS] = 'Copying web fonts';
    PROGRESS_TEXT[MSG.BULK_PROGRESS] = 'Synchronising the library';
    PROGRESS_TEXT[MSG.INCREMENTAL_PROGRESS] = 'Updating the library';
    PROGRESS_TEXT[MSG.SERVER_PROGRESS] = 'Synchronising with the font server';

    var MEMBER_KINDS = {
        workgroup: { key: KEY.WORKGROUP_IDS, label: 'Workgroup' },
        set: { key: KEY.SET_IDS, label: 'Set' },
        smartset: { key: KEY.SMART_SET_IDS, label: 'Smart set' }
    };

    var state = {
        enabled: true,
        online: true,
        standalone: false,
        workgroups: '',
        notice: '',
        webFontsOn: false,
        webFontsAccess: true,
        lists: [],
        chosenListId: null,
        activeListIndex: -1,
        storedSelection: null,
        userChose: false,
        fonts: [],
        indexById: new Map(),
        known: new Map(), // font ID -> {name, postscriptName}
        fontState: new Map(), // font ID -> badge state
        notified: new Map(), // font ID -> number of the message that last set its state
        messageCount: 0,
        previews: new Map(), // font ID -> {src, src2x}
        previewsAsked: new Set(),
        activeFontIndex: -1,
        members: new Map(), // "kind:id" -> name
        query: null, // {listId, loaded}
        nameMode: null,
        fileLoad: 0,
        size: null
    };

    var router = new P.Router(Cep.send);
    var faults = 0;

    // Handlers check what they read, so a fault here is a bug: counted (the tests look) and logged.
    function recordFault(e) {
        faults++;
        if (global.console) {
            global.console.warn('Lumorand: a message handler failed:', e && e.message);
        }
    }
    var fontList;

    function $(id) {
        return document.getElementById(id);
    }

    function send(id, fields) {
        return router.send(id, fields);
    }

    // ---- Theme ----

    function rgb(c) {
        return 'rgb(' + c.r + ', ' + c.g + ', ' + c.b + ')';
    }

    function shade(c, delta) {
        function ch(v) {
            return Math.max(0, Math.min(255, v + delta));
        }
        return { r: ch(c.r), g: ch(c.g), b: ch(c.b) };
    }

    function mix(a, b, t) {
        return {
            r: Math.round(a.r + (b.r - a.r) * t),
            g: Math.round(a.g + (b.g - a.g) * t),
            b: Math.round(a.b + (b.b - a.b) * t)
        };
    }

    function applySkin(skin) {
        var bg = skin.background;
        var brightness = (bg.r * 299 + bg.g * 587 + bg.b * 114) / 1000;
        var dark = brightness < 128;
        var fg = dark ? { r: 240, g: 240, b: 240 } : { r: 20, g: 20, b: 20 };
        var root = document.documentElement;
        root.dataset.theme = dark ? 'dark' : 'light';
        var vars = {
            '--bg': rgb(bg),
            '--fg': rgb(fg),
            '--border': rgb(shade(bg, dark ? 45 : -70)),
            '--field': rgb(shade(bg, dark ? -18 : 15)),
            '--raised': rgb(shade(bg, dark ? 16 : -14)),
            '--highlight': rgb(skin.highlight),
            '--selected': rgb(mix(bg, skin.highlight, 0.4)),
            '--font-family': (skin.fontFamily ? '"' + skin.fontFamily.replace(/"/g, '') + '", ' : '') +
                '"Segoe UI", Tahoma, sans-serif',
            '--font-size': Math.max(11, skin.fontSize) + 'px',
            '--row-height': ROW_HEIGHT + 'px'
        };
        Object.keys(vars).forEach(function (k) {
            root.style.setProperty(k, vars[k]);
        });
    }

    // ---- Status line and messages ----

    function renderStatus() {
        var el = $('status');
        el.dataset.enabled = String(state.enabled);
        el.dataset.online = String(state.online);
        var parts = [state.enabled ? 'Font services enabled' :
            'Font services disabled: fonts cannot be activated'];
        parts.push(state.online ? 'Online' : 'Offline');
        if (state.standalone) {
            parts.push('Standalone');
        }
        if (state.workgroups) {
            parts.push(state.workgroups);
        }
        if (state.notice) {
            parts.push(state.notice);
        }
        el.textContent = parts.join(' · ');
        document.body.classList.toggle('services-off', !state.enabled);
        ['smart-list-new', 'smart-list-rename', 'smart-list-delete', 'smart-list-query'].forEach(function (id) {
            var needsList = id !== 'smart-list-new';
            $(id).disabled = !state.enabled || (needsList && state.chosenListId === null);
        });
        renderWebFonts();
    }

    function showMessage(text) {
        $('message').textContent = text;
    }

    function notice(text) {
        state.notice = text;
        renderStatus();
    }

    // ---- Smart lists ----

    function listIndex(id) {
        for (var i = 0; i < state.lists.length; i++) {
            if (state.lists[i].id === id) {
                return i;
            }
        }
        return -1;
    }

    function chosenList() {
        var i = listIndex(state.chosenListId);
        return i < 0 ? null : state.lists[i];
    }

    function renderLists() {
        var box = $('smart-lists');
        box.textContent = '';
        state.lists.forEach(function (list, i) {
            var li = document.createElement('li');
            li.id = 'smart-list-' + list.id;
            li.setAttribute('role', 'option');
            li.dataset.smartListId = String(list.id);
            li.setAttribute('aria-selected', list.id === state.chosenListId ? 'true' : 'false');
            li.className = 'smart-list' + (i === state.activeListIndex ? ' active' : '');
            li.textContent = list.name;
            box.appendChild(li);
        });
        var active = state.lists[state.activeListIndex];
        if (active) {
            box.setAttribute('aria-activedescendant', 'smart-list-' + active.id);
        } else {
            box.removeAttribute('aria-activedescendant');
        }
        renderStatus();
    }

    function setActiveList(index) {
        if (!state.lists.length) {
            return;
        }
        state.activeListIndex = Math.max(0, Math.min(state.lists.length - 1, index));
        renderLists();
        var el = $('smart-lists').children[state.activeListIndex];
        if (el && el.scrollIntoView) {
            el.scrollIntoView({ block: 'nearest' });
        }
    }

    function chooseList(id, byUser) {
        var index = listIndex(id);
        if (index < 0) {
            return;
        }
        state.chosenListId = id;
        state.activeListIndex = index;
        if (byUser) {
            state.userChose = true;
        }
        renderLists();
        $('font-count').textContent = 'Loading…';
        send(MSG.GET_SMART_LIST_FONTS, { smartListID: id });
        if (byUser) {
            send(MSG.SET_SELECTION, { selection: id, savesSmartList: true });
        }
    }

    function chooseDefaultList() {
        if (chosenList()) {
            return;
        }
        state.chosenListId = null;
        if (!state.lists.length) {
            state.activeListIndex = -1;
            renderLists();
            showFonts([]);
            return;
        }
        var id = listIndex(state.storedSelection) >= 0 ? state.storedSelection : state.lists[0].id;
        chooseList(id, false);
    }

    function onSmartLists(m) {
        var lists = [];
        P.objectArray(m, KEY.SMART_LISTS).forEach(function (o) {
            var id = P.int(o, KEY.SMART_LIST_ID, null);
            if (id !== null) {
                lists.push({ id: id, name: P.str(o, KEY.SMART_LIST_NAME, 'Smart list ' + id) });
            }
        });
        state.lists = lists;
        var chosen = listIndex(state.chosenListId);
        state.activeListIndex = chosen >= 0 ? chosen : Math.min(state.activeListIndex, lists.length - 1);
        renderLists();
        chooseDefaultList();
    }

    function onSelection(m) {
        var id = P.int(m, KEY.SELECTION, null);
        if (id === null || !P.bool(m, KEY.SAVES_SMART_LIST, false)) {
            return;
        }
        state.storedSelection = id;
        if (!state.userChose && state.chosenListId !== id && listIndex(id) >= 0) {
            chooseList(id, false);
        }
    }

    function onListCreated(m) {
        var o = m[KEY.SMART_LIST];
        if (!o || typeof o !== 'object') {
            return;
        }
        var id = P.int(o, KEY.SMART_LIST_ID, null);
        if (id === null) {
            return;
        }
        if (listIndex(id) < 0) {
            state.lists.push({ id: id, name: P.str(o, KEY.SMART_LIST_NAME, 'Smart list ' + id) });
        }
        chooseList(id, true);
    }

    // ---- Fonts ----

    function badgeState(id) {
        return state.fontState.get(id) || 'inactive';
    }

    function showFonts(fonts) {
        state.fonts = fonts;
        state.indexById = new Map();
        fonts.forEach(function (f, i) {
            state.indexById.set(f.id, i);
        });
        state.previewsAsked = new Set();
        state.activeFontIndex = fonts.length ? 0 : -1;
        $('font-count').textContent = fonts.length === 1 ? '1 font' : fonts.length + ' fonts';
        $('font-list').scrollTop = 0;
        fontList.setCount(fonts.length);
        requestPreviews(true);
    }

    // A file's "activated" field is older than any notification that arrived after the file was
    // announced (message number `announced`), so those win.
    function showFontFile(fonts, announced) {
        fonts.forEach(function (f) {
            state.known.set(f.id, { name: f.name, postscriptName: f.postscriptName });
            if ((state.notified.get(f.id) || 0) <= announced) {
                state.fontState.set(f.id, f.activated ? 'active' : 'inactive');
            }
        });
        showFonts(fonts);
    }

    function showFontIds(ids) {
        showFonts(ids.map(function (id) {
            var k = state.known.get(id);
            return { id: id, name: k ? k.name : 'Font ' + id, postscriptName: k ? k.postscriptName : '' };
        }));
    }

    function loadFontFile(url) {
        var token = ++state.fileLoad;
        var announced = state.messageCount;
        var finished = false;
        function done(ok, text) {
            if (finished) {
                return;
            }
            finished = true;
            send(MSG.DELETE_TMP_FILE, { filename: url });
            if (token !== state.fileLoad) {
                return;
            }
            if (ok) {
                showFontFile(P.parseFontList(text), announced);
            } else {
                $('font-count').textContent = '';
                showMessage('The font list could not be read.');
            }
        }
        var xhr = new XMLHttpRequest();
        try {
            xhr.open('GET', url, true);
            xhr.onload = function () {
                var ok = xhr.status === 200 || (xhr.status === 0 && !!xhr.responseText);
                done(ok, xhr.responseText);
            };
            xhr.onerror = xhr.ontimeout = xhr.onabort = function () {
                done(false, '');
            };
            xhr.timeout = 30000;
            xhr.send();
        } catch (e) {
            done(false, '');
        }
    }

    function onFontList(m) {
        var filename = P.str(m, KEY.FILENAME, null);
        if (filename) {
            loadFontFile(filename);
            return;
        }
        var ids = P.intArray(m, KEY.FONT_IDS);
        if (ids) {
            showFontIds(ids);
        }
    }

    // Asks for the previews of the rows in view first; the first request after a new list also
    // names every other font of the list, to come later.
    function requestPreviews(all) {
        if (!state.fonts.length) {
            return;
        }
        var range = fontList.visibleRange();
        var high = [];
        var rest = [];
        var i;
        for (i = range.first; i < range.last; i++) {
            var id = state.fonts[i].id;
            if (!state.previews.has(id) && !state.previewsAsked.has(id)) {
                high.push(id);
                state.previewsAsked.add(id);
            }
        }
        if (all) {
            for (i = 0; i < state.fonts.length; i++) {
                var other = state.fonts[i].id;
                if (!state.previews.has(other) && (i < range.first || i >= range.last)) {
                    rest.push(other);
                }
            }
        }
        if (!high.length && !rest.length) {
            return;
        }
        send(MSG.FONT_PREVIEWS, {
            highPriorityFontIDs: high,
            fontIDs: rest,
            smartListID: state.chosenListId === null ? 0 : state.chosenListId
        });
    }

    function onPreviews(m) {
        P.objectArray(m, KEY.FONTS).forEach(function (o) {
            var id = P.int(o, KEY.FONT_ID, null);
            var src = P.str(o, KEY.PNG, '');
            if (id === null || !src) {
                return;
            }
            state.previews.set(id, { src: src, src2x: P.str(o, KEY.PNG_2X, '') });
            var index = state.indexById.get(id);
            if (index !== undefined) {
                fontList.refreshIndex(index);
            }
        });
    }

    function onFontStates(badge) {
        return function (m) {
            var ids = P.intArray(m, KEY.FONT_IDS) || [];
            ids.forEach(function (id) {
                state.fontState.set(id, badge);
                state.notified.set(id, state.messageCount);
            });
            if (ids.length) {
                fontList.refresh();
            }
        };
    }

    function fontName(id) {
        var k = state.known.get(id);
        return k ? k.name : 'font ' + id;
    }

    function onActivationError(m) {
        var id = P.int(m, KEY.FONT_ID, null);
        if (id === null) {
            return;
        }
        state.fontState.set(id, 'error');
        state.notified.set(id, state.messageCount);
        fontList.refresh();
        if (P.bool(m, KEY.IS_CONFLICT_ERROR, false)) {
            var conflict = P.int(m, KEY.CONFLICT_ID, 0);
            showMessage('Could not activate ' + fontName(id) + ': it conflicts with ' +
                (conflict ? fontName(conflict) : 'another active font') + '.');
        } else {
            showMessage('Could not activate ' + fontName(id) + '.');
        }
    }

    function createFontRow() {
        var row = document.createElement('div');
        row.className = 'font-row';
        row.setAttribute('role', 'option');
        var img = document.createElement('img');
        img.className = 'preview';
        img.alt = '';
        img.decoding = 'async';
        img.dataset.loaded = 'false';
        img.addEventListener('load', function () {
            img.dataset.loaded = 'true';
        });
        img.addEventListener('error', function () {
            img.dataset.loaded = 'false';
        });
        var name = document.createElement('span');
        name.className = 'font-name';
        var badge = document.createElement('span');
        badge.className = 'badge';
        row.appendChild(img);
        row.appendChild(name);
        row.appendChild(badge);
        return row;
    }

    function renderFontRow(row, index) {
        var font = state.fonts[index];
        row.id = 'font-row-' + font.id;
        row.dataset.fontId = String(font.id);
        row.setAttribute('aria-selected', index === state.activeFontIndex ? 'true' : 'false');
        row.setAttribute('aria-posinset', String(index + 1));
        row.setAttribute('aria-setsize', String(state.fonts.length));
        row.classList.toggle('active', index === state.activeFontIndex);
        var img = row.children[0];
        var preview = state.previews.get(font.id);
        if (preview && fontList.fast) {
            // Flying past: no image loads for rows that are gone a frame later.
            if (img.getAttribute('src') !== preview.src && img.hasAttribute('src')) {
                img.removeAttribute('srcset');
                img.removeAttribute('src');
                img.dataset.loaded = 'false';
            }
        } else if (preview) {
            if (img.getAttribute('src') !== preview.src) {
                img.dataset.loaded = 'false';
                if (preview.src2x) {
                    img.srcset = preview.src + ' 1x, ' + preview.src2x + ' 2x';
                } else {
                    img.removeAttribute('srcset');
                }
                img.src = preview.src;
            }
        } else if (img.hasAttribute('src')) {
            img.removeAttribute('srcset');
            img.removeAttribute('src');
            img.dataset.loaded = 'false';
        }
        row.children[1].textContent = font.name;
        var badge = badgeState(font.id);
        row.children[2].dataset.state = badge;
        row.children[2].textContent = BADGE_TEXT[badge];
    }

    function syncActiveDescendant() {
        var box = $('font-list');
        var font = state.fonts[state.activeFontIndex];
        if (font && fontList.elementAt(state.activeFontIndex)) {
            box.setAttribute('aria-activedescendant', 'font-row-' + font.id);
        } else {
            box.removeAttribute('aria-activedescendant');
        }
    }

    function setActiveFont(index) {
        if (!state.fonts.length) {
            return;
        }
        var previous = state.activeFontIndex;
        state.activeFontIndex = Math.max(0, Math.min(state.fonts.length - 1, index));
        fontList.scrollToIndex(state.activeFontIndex);
        fontList.refreshIndex(previous);
        fontList.refreshIndex(state.activeFontIndex);
        syncActiveDescendant();
    }

    function activateFont(index) {
        var font = state.fonts[index];
        if (!font || !state.enabled) {
            return;
        }
        showMessage('');
        send(MSG.ACTIVATE_FAMILY, {
            fontID: font.id,
            postscriptName: font.postscriptName,
            displayName: font.name
        });
        send(MSG.TRACK_CLICK, { fontID: font.id, version: PANEL_VERSION });
    }

    // ---- Web fonts ----

    function renderWebFonts() {
        var sw = $('web-fonts');
        sw.setAttribute('aria-checked', state.webFontsOn ? 'true' : 'false');
        sw.disabled = state.webFontsOn || !state.webFontsAccess || !state.enabled;
        sw.title = !state.webFontsAccess ? 'Web fonts are not available to you' :
            state.webFontsOn ? 'Web fonts are on' : 'Turn web fonts on';
    }

    function setWebFonts(on) {
        state.webFontsOn = on;
        renderWebFonts();
    }

    // ---- Progress ----

    function onProgress(id) {
        return function (m) {
            var box = $('progress');
            var item = box.querySelector('[data-progress-id="' + id + '"]');
            if (!item) {
                item = document.createElement('div');
                item.className = 'progress-item';
                item.dataset.progressId = String(id);
                var text = document.createElement('span');
                text.className = 'progress-text';
                text.id = 'progress-text-' + id;
                var bar = document.createElement('progress');
                bar.setAttribute('aria-labelledby', text.id);
                item.appendChild(text);
                item.appendChild(bar);
                box.appendChild(item);
            }
            var steps = Math.max(1, P.int(m, KEY.NUM_STEPS, 1));
            var step = Math.max(0, Math.min(steps, P.int(m, KEY.STEP_INDEX, 0)));
            var progress = item.querySelector('progress');
            progress.max = steps;
            progress.value = step;
            var label = P.str(m, KEY.TEXT, '') || PROGRESS_TEXT[id];
            item.querySelector('.progress-text').textContent = label + ' (' + step + ' of ' + steps + ')';
        };
    }

    function onProgressStopped(id) {
        return function () {
            var item = $('progress').querySelector('[data-progress-id="' + id + '"]');
            if (item) {
                item.parentNode.removeChild(item);
            }
        };
    }

    // ---- Dialogs ----

    var openDialog = null;

    function focusables(dialog) {
        return Array.prototype.filter.call(
            dialog.querySelectorAll('input, select, button, [tabindex]'),
            function (el) {
                return !el.disabled && el.offsetParent !== null;
            });
    }

    function showDialog(dialog, focus, onCancel) {
        if (openDialog) {
            closeDialog();
        }
        openDialog = { el: dialog, cancel: onCancel, returnFocus: document.activeElement };
        dialog.hidden = false;
        focus.focus();
        if (focus.select) {
            focus.select();
        }
    }

    function closeDialog() {
        if (!openDialog) {
            return;
        }
        var d = openDialog;
        openDialog = null;
        d.el.hidden = true;
        if (d.returnFocus && d.returnFocus.focus && document.contains(d.returnFocus)) {
            d.returnFocus.focus();
        }
    }

    function onDialogKey(e) {
        if (!openDialog) {
            return false;
        }
        if (e.keyCode === KEYS.ESCAPE) {
            e.preventDefault();
            var cancel = openDialog.cancel;
            closeDialog();
            if (cancel) {
                cancel();
            }
            return true;
        }
        if (e.keyCode === KEYS.TAB) {
            var list = focusables(openDialog.el);
            if (!list.length) {
                return true;
            }
            var first = list[0];
            var last = list[list.length - 1];
            if (e.shiftKey && document.activeElement === first) {
                e.preventDefault();
                last.focus();
            } else if (!e.shiftKey && document.activeElement === last) {
                e.preventDefault();
                first.focus();
            }
        }
        return true;
    }

    function openNameDialog(mode) {
        var list = chosenList();
        if (mode === 'rename' && !list) {
            return;
        }
        state.nameMode = mode;
        $('name-dialog-title').textContent = mode === 'rename' ? 'Rename smart list' : 'New smart list';
        var input = $('name-input');
        input.value = mode === 'rename' ? list.name : '';
        input.removeAttribute('aria-invalid');
        showDialog($('name-dialog'), input);
    }

    function submitName() {
        var input = $('name-input');
        var name = input.value.trim();
        if (!name) {
            input.setAttribute('aria-invalid', 'true');
            input.focus();
            return;
        }
        var list = chosenList();
        if (state.nameMode === 'rename' && list) {
            send(MSG.RENAME_SMART_LIST, { smartListName: name, smartListID: list.id });
            list.name = name;
            renderLists();
        } else if (state.nameMode === 'create') {
            send(MSG.CREATE_SMART_LIST, { smartListName: name });
        }
        closeDialog();
    }

    function openConfirmDialog() {
        var list = chosenList();
        if (!list) {
            return;
        }
        $('confirm-text').textContent = 'Delete the smart list "' + list.name +
            '"? Its fonts stay in the library.';
        showDialog($('confirm-dialog'), $('confirm-cancel'));
    }

    function confirmDelete() {
        var list = chosenList();
        closeDialog();
        if (!list) {
            return;
        }
        send(MSG.DELETE_SMART_LIST, { smartListID: list.id });
        state.lists.splice(listIndex(list.id), 1);
        state.chosenListId = null;
        state.activeListIndex = state.lists.length ? 0 : -1;
        if (state.lists.length) {
            chooseList(state.lists[0].id, true);
        } else {
            renderLists();
            showFonts([]);
        }
    }

    function memberLabel(kind, id) {
        var name = state.members.get(kind + ':' + id);
        return MEMBER_KINDS[kind].label + ' ' + id + (name ? ' "' + name + '"' : '');
    }

    function addMemberBox(kind, id, checked) {
        var box = $('query-members');
        var existing = box.querySelector('input[data-kind="' + kind + '"][data-id="' + id + '"]');
        if (existing) {
            if (checked) {
                existing.checked = true;
            }
            existing.parentNode.lastChild.textContent = ' ' + memberLabel(kind, id);
            return existing;
        }
        var label = document.createElement('label');
        label.className = 'member';
        var input = document.createElement('input');
        input.type = 'checkbox';
        input.dataset.kind = kind;
        input.dataset.id = String(id);
        input.checked = !!checked;
        label.appendChild(input);
        label.appendChild(document.createTextNode(' ' + memberLabel(kind, id)));
        box.appendChild(label);
        return input;
    }

    function addKnownMembers() {
        state.members.forEach(function (name, key) {
            var parts = key.split(':');
            addMemberBox(parts[0], parseInt(parts[1], 10), false);
        });
    }

    function openQueryDialog() {
        var list = chosenList();
        if (!list) {
            return;
        }
        state.query = { listId: list.id, loaded: false };
        $('query-dialog-title').textContent = 'Fonts of "' + list.name + '"';
        $('query-members').textContent = '';
        $('query-ok').disabled = true;
        addKnownMembers();
        send(MSG.GET_SMART_LIST, { smartListID: list.id });
        send(MSG.GET_SMART_LIST_TREE, { smartListID: list.id });
        showDialog($('query-dialog'), $('query-cancel'), function () {
            state.query = null;
        });
    }

    function onSmartListQuery(m) {
        var id = P.int(m, KEY.SMART_LIST_ID, null);
        if (!state.query || id !== state.query.listId) {
            return;
        }
        Object.keys(MEMBER_KINDS).forEach(function (kind) {
            (P.intArray(m, MEMBER_KINDS[kind].key) || []).forEach(function (memberId) {
                addMemberBox(kind, memberId, true);
            });
        });
        state.query.loaded = true;
        $('query-ok').disabled = false;
    }

    function onSmartListTree(m) {
        var encoded = P.str(m, KEY.LIST_DEFINITION, null);
        if (encoded === null) {
            return;
        }
        P.parseTree(encoded).forEach(function (member) {
            state.members.set(member.kind + ':' + member.id, member.name);
        });
        if (state.query) {
            addKnownMembers();
        }
    }

    function addQueryMember() {
        var kind = $('query-add-kind').value;
        var input = $('query-add-id');
        var text = input.value.trim();
        if (!MEMBER_KINDS[kind] || !/^\d+$/.test(text)) {
            input.setAttribute('aria-invalid', 'true');
            input.focus();
            return;
        }
        input.removeAttribute('aria-invalid');
        addMemberBox(kind, parseInt(text, 10), true);
        input.value = '';
    }

    function submitQuery() {
        if (!state.query || !state.query.loaded) {
            return;
        }
        var fields = { smartListID: state.query.listId };
        Object.keys(MEMBER_KINDS).forEach(function (kind) {
            fields[MEMBER_KINDS[kind].key] = [];
        });
        $('query-members').querySelectorAll('input[type=checkbox]').forEach(function (box) {
            if (box.checked && MEMBER_KINDS[box.dataset.kind]) {
                fields[MEMBER_KINDS[box.dataset.kind].key].push(parseInt(box.dataset.id, 10));
            }
        });
        state.query = null;
        closeDialog();
        send(MSG.SET_SMART_LIST_QUERY, fields);
    }

    // ---- Keyboard ----

    function isTextField(el) {
        if (!el || !el.tagName) {
            return false;
        }
        var tag = el.tagName.toLowerCase();
        return tag === 'input' || tag === 'textarea' || tag === 'select' || el.isContentEditable;
    }

    function listKey(e, count, active, page) {
        switch (e.keyCode) {
        case KEYS.DOWN: return active + 1;
        case KEYS.UP: return active - 1;
        case KEYS.HOME: return 0;
        case KEYS.END: return count - 1;
        case KEYS.PAGE_DOWN: return active + page;
        case KEYS.PAGE_UP: return active - page;
        default: return null;
        }
    }

    function onFontListKey(e) {
        if (!state.fonts.length) {
            return;
        }
        if (e.keyCode === KEYS.ENTER || e.keyCode === KEYS.SPACE) {
            e.preventDefault();
            activateFont(state.activeFontIndex);
            return;
        }
        var next = listKey(e, state.fonts.length, Math.max(0, state.activeFontIndex), fontList.pageSize());
        if (next !== null) {
            e.preventDefault();
            setActiveFont(next);
        }
    }

    function onSmartListKey(e) {
        if (!state.lists.length) {
            return;
        }
        if (e.keyCode === KEYS.ENTER || e.keyCode === KEYS.SPACE) {
            e.preventDefault();
            var list = state.lists[state.activeListIndex];
            if (list) {
                chooseList(list.id, true);
            }
            return;
        }
        var next = listKey(e, state.lists.length, Math.max(0, state.activeListIndex), 5);
        if (next !== null) {
            e.preventDefault();
            setActiveList(next);
        }
    }

    function onDocumentKey(e) {
        if (onDialogKey(e) || e.defaultPrevented) {
            return;
        }
        if (PANEL_KEYS.indexOf(e.keyCode) >= 0 || MODIFIER_KEYS.indexOf(e.keyCode) >= 0) {
            return;
        }
        if (isTextField(e.target) || !e.keyCode) {
            return;
        }
        send(MSG.KEY_EVENT, {
            isCtrlPressed: e.ctrlKey,
            isShiftPressed: e.shiftKey,
            isAltPressed: e.altKey,
            keyCode: e.keyCode
        });
    }

    // ---- Size ----

    function onDimensions(m) {
        var width = P.int(m, KEY.WIDTH, 0);
        var height = P.int(m, KEY.HEIGHT, 0);
        if (width > 0 && height > 0) {
            state.size = { width: width, height: height };
            Cep.resize(width, height);
        }
    }

    var resizeTimer = 0;

    function onWindowResize() {
        clearTimeout(resizeTimer);
        resizeTimer = setTimeout(function () {
            var width = global.innerWidth;
            var height = global.innerHeight;
            if (state.size && state.size.width === width && state.size.height === height) {
                return;
            }
            state.size = { width: width, height: height };
            send(MSG.SET_DIMENSIONS, { windowWidth: width, windowHeight: height });
        }, RESIZE_DELAY_MS);
    }

    // ---- Wiring ----

    function routeMessages() {
        router.on(MSG.CONNECTION_COMPLETE, function (m) {
            state.standalone = P.int(m, KEY.IS_STANDALONE, 0) !== 0;
            renderStatus();
        });
        router.on(MSG.WEB_FONTS_STATE, function (m) {
            setWebFonts(P.int(m, KEY.IS_ENABLED, 0) !== 0);
        });
        router.on(MSG.CAN_ACCESS_WEB_FONTS, function (m) {
            state.webFontsAccess = P.int(m, KEY.CAN_ACCESS_WEB_FONTS, 0) !== 0;
            renderWebFonts();
        });
        router.on(MSG.ENABLE_WEB_FONTS, function () {
            send(MSG.WEB_FONTS_STATE);
        });
        router.on(MSG.WEB_FONTS_ENABLED, function () {
            setWebFonts(true);
        });
        router.on(MSG.WEB_FONTS_DISABLED, function () {
            setWebFonts(false);
        });
        router.on(MSG.GET_DIMENSIONS, onDimensions);
        router.on(MSG.GET_SELECTION, onSelection);
        router.on(MSG.GET_ALL_SMART_LISTS, onSmartLists);
        router.on(MSG.CREATE_SMART_LIST, onListCreated);
        router.on(MSG.SMART_LISTS_CHANGED, function () {
            send(MSG.GET_ALL_SMART_LISTS);
        });
        router.on(MSG.FONT_LIST, onFontList);
        router.on(MSG.COULD_NOT_CREATE_TMP_FILE, function () {
            $('font-count').textContent = '';
            showMessage('The font list could not be written.');
        });
        router.on(MSG.GET_SMART_LIST, onSmartListQuery);
        router.on(MSG.GET_SMART_LIST_TREE, onSmartListTree);
        router.on(MSG.FONT_PREVIEWS, onPreviews);
        router.on(MSG.FONTS_ACTIVATED, onFontStates('active'));
        router.on(MSG.FONTS_DEACTIVATED, onFontStates('inactive'));
        router.on(MSG.FONTS_MISSING, onFontStates('missing'));
        router.on(MSG.FONTS_NONCOMPLIANT, onFontStates('noncompliant'));
        router.on(MSG.ACTIVATION_ERROR, onActivationError);
        router.on(MSG.ENABLED, function (m) {
            state.enabled = P.bool(m, KEY.IS_ENABLED, state.enabled);
            renderStatus();
        });
        router.on(MSG.OFFLINE, function () {
            state.online = false;
            renderStatus();
        });
        router.on(MSG.ONLINE, function () {
            state.online = true;
            renderStatus();
        });
        router.on(MSG.LOGGED_IN_CHANGED, function () {
            notice('Sign-in changed');
            send(MSG.WEB_FONTS_STATE);
            send(MSG.GET_ALL_SMART_LISTS);
        });
        router.on(MSG.WORKGROUPS_SERVER, function () {
            state.workgroups = 'Server workgroups';
            renderStatus();
        });
        router.on(MSG.WORKGROUPS_LOCAL, function () {
            state.workgroups = 'Local workgroups';
            renderStatus();
        });
        router.on(MSG.DATA_CHANGED, function () {
            if (state.chosenListId !== null) {
                send(MSG.GET_SMART_LIST_FONTS, { smartListID: state.chosenListId });
            }
        });
        router.on(MSG.OFFLINE_DOWNLOAD_FINISHED, function () {
            notice('Offline download finished');
        });
        Object.keys(P.PROGRESS).forEach(function (k) {
            var id = parseInt(k, 10);
            router.on(id, onProgress(id));
            router.on(P.PROGRESS[id], onProgressStopped(id));
        });
    }

    function wireControls() {
        $('smart-lists').addEventListener('click', function (e) {
            var li = e.target.closest ? e.target.closest('[data-smart-list-id]') : null;
            if (li && state.enabled) {
                chooseList(parseInt(li.dataset.smartListId, 10), true);
            }
        });
        $('smart-lists').addEventListener('keydown', onSmartListKey);
        $('font-list').addEventListener('click', function (e) {
            var row = e.target.closest ? e.target.closest('[data-font-id]') : null;
            if (!row) {
                return;
            }
            var index = state.indexById.get(parseInt(row.dataset.fontId, 10));
            if (index !== undefined) {
                setActiveFont(index);
                activateFont(index);
            }
        });
        $('font-list').addEventListener('keydown', onFontListKey);
        $('font-list').addEventListener('focus', syncActiveDescendant);

        $('smart-list-new').addEventListener('click', function () {
            openNameDialog('create');
        });
        $('smart-list-rename').addEventListener('click', function () {
            openNameDialog('rename');
        });
        $('smart-list-delete').addEventListener('click', openConfirmDialog);
        $('smart-list-query').addEventListener('click', openQueryDialog);
        $('name-form').addEventListener('submit', function (e) {
            e.preventDefault();
            submitName();
        });
        $('name-cancel').addEventListener('click', closeDialog);
        $('confirm-ok').addEventListener('click', confirmDelete);
        $('confirm-cancel').addEventListener('click', closeDialog);
        $('query-add').addEventListener('click', addQueryMember);
        $('query-add-id').addEventListener('keydown', function (e) {
            if (e.keyCode === KEYS.ENTER) {
                e.preventDefault();
                addQueryMember();
            }
        });
        $('query-ok').addEventListener('click', submitQuery);
        $('query-cancel').addEventListener('click', function () {
            state.query = null;
            closeDialog();
        });
        $('web-fonts').addEventListener('click', function () {
            if (!state.webFontsOn && state.webFontsAccess && state.enabled) {
                send(MSG.ENABLE_WEB_FONTS);
            }
        });
        document.addEventListener('keydown', onDocumentKey);
        global.addEventListener('resize', onWindowResize);
    }

    function start() {
        fontList = new global.LumorandVirtualList($('font-list'), {
            rowHeight: ROW_HEIGHT,
            overscan: 10,
            createRow: createFontRow,
            renderRow: renderFontRow,
            afterRender: syncActiveDescendant,
            onSettle: function () {
                fontList.refresh();
            },
            onRangeChange: function () {
                requestPreviews(false);
            }
        });
        router.onError = function (id, e) {
            recordFault(e);
        };
        Cep.onFault(recordFault);
        applySkin(Cep.skin());
        Cep.onThemeChange(applySkin);
        routeMessages();
        wireControls();
        renderStatus();
        Cep.onMessage(function (m) {
            state.messageCount++;
            router.dispatch(m);
        });
        var interest = PANEL_KEYS.map(function (k) {
            return { keyCode: k };
        });
        interest.push({ keyCode: KEYS.TAB, shiftKey: true });
        Cep.registerKeyInterest(interest);

        send(MSG.START_PANEL);
        send(MSG.IS_WINDOWS);
        send(MSG.WEB_FONTS_STATE);
        send(MSG.CAN_ACCESS_WEB_FONTS);
        send(MSG.GET_DIMENSIONS);
        send(MSG.GET_SELECTION);
        send(MSG.GET_ALL_SMART_LISTS);
    }

    global.LumorandPanel = {
        version: PANEL_VERSION,
        faults: function () {
            return faults;
        }
    };
    start();
})(window);
