/*
 * A list of fixed-height rows of which only those near the viewport exist in the DOM. Row
 * elements are recycled as the list scrolls; renderRow(element, index) fills one for an index.
 */
(function (global) {
    'use strict';

    function VirtualList(viewport, options) {
        this.viewport = viewport;
        this.rowHeight = options.rowHeight;
        this.overscan = options.overscan === undefined ? 8 : options.overscan;
        this.createRow = options.createRow;
        this.renderRow = options.renderRow;
        this.onRangeChange = options.onRangeChange || null;
        this.afterRender = options.afterRender || null;
        this.count = 0;
        this.shown = new Map(); // index -> element
        this.free = [];
        this.lastRange = '';
        this.rangeTimer = 0;
        // Scrolling by more than half a viewport a frame is "fast": rows may leave costly content
        // out until the list settles (onSettle).
        this.fast = false;
        this.lastTop = 0;
        this.settleTimer = 0;
        this.onSettle = options.onSettle || null;

        this.spacer = document.createElement('div');
        this.spacer.className = 'virtual-spacer';
        this.spacer.setAttribute('role', 'none');
        viewport.appendChild(this.spacer);

        var self = this;
        viewport.addEventListener('scroll', function () {
            var top = viewport.scrollTop;
            self.fast = Math.abs(top - self.lastTop) > viewport.clientHeight / 2;
            self.lastTop = top;
            self.render();
            clearTimeout(self.settleTimer);
            self.settleTimer = setTimeout(function () {
                var wasFast = self.fast;
                self.fast = false;
                if (wasFast && self.onSettle) {
                    self.onSettle();
                }
            }, 100);
        }, { passive: true });
        global.addEventListener('resize', function () {
            self.render();
        });
    }

    VirtualList.prototype.setCount = function (count) {
        this.count = Math.max(0, count | 0);
        this.spacer.style.height = (this.count * this.rowHeight) + 'px';
        var self = this;
        this.shown.forEach(function (el) {
            self.release(el);
        });
        this.shown.clear();
        this.lastRange = '';
        this.render();
    };

    VirtualList.prototype.release = function (el) {
        if (el.parentNode) {
            el.parentNode.removeChild(el);
        }
        this.free.push(el);
    };

    // The rows at least partly inside the viewport: {first, last}, last exclusive.
    VirtualList.prototype.visibleRange = function () {
        var top = this.viewport.scrollTop;
        var height = this.viewport.clientHeight;
        var first = Math.max(0, Math.floor(top / this.rowHeight));
        var last = Math.min(this.count, Math.ceil((top + height) / this.rowHeight));
        return { first: first, last: Math.max(first, last) };
    };

    VirtualList.prototype.render = function () {
        var range = this.visibleRange();
        var first = Math.max(0, range.first - this.overscan);
        var last = Math.min(this.count, range.last + this.overscan);
        var self = this;
        this.shown.forEach(function (el, index) {
            if (index < first || index >= last) {
                self.release(el);
                self.shown.delete(index);
            }
        });
        for (var i = first; i < last; i++) {
            if (this.shown.has(i)) {
                continue;
            }
            var el = this.free.pop() || this.createRow();
            el.style.transform = 'translateY(' + (i * this.rowHeight) + 'px)';
            this.renderRow(el, i);
            this.spacer.appendChild(el);
            this.shown.set(i, el);
        }
        if (this.afterRender) {
            this.afterRender();
        }
        var key = range.first + ':' + range.last;
        if (key !== this.lastRange && this.onRangeChange) {
            this.lastRange = key;
            clearTimeout(this.rangeTimer);
            this.rangeTimer = setTimeout(function () {
                var now = self.visibleRange();
                self.onRangeChange(now.first, now.last);
            }, 60);
        }
    };

    // Draws every shown row again (their data changed).
    VirtualList.prototype.refresh = function () {
        var self = this;
        this.shown.forEach(function (el, index) {
            self.renderRow(el, index);
        });
    };

    VirtualList.prototype.refreshIndex = function (index) {
        var el = this.shown.get(index);
        if (el) {
            this.renderRow(el, index);
        }
    };

    VirtualList.prototype.elementAt = function (index) {
        return this.shown.get(index) || null;
    };

    // Scrolls as little as needed to show the row, and draws it at once.
    VirtualList.prototype.scrollToIndex = function (index) {
        if (index < 0 || index >= this.count) {
            return;
        }
        var top = index * this.rowHeight;
        var bottom = top + this.rowHeight;
        var vp = this.viewport;
        if (top < vp.scrollTop) {
            vp.scrollTop = top;
        } else if (bottom > vp.scrollTop + vp.clientHeight) {
            vp.scrollTop = bottom - vp.clientHeight;
        }
        this.render();
    };

    VirtualList.prototype.pageSize = function () {
        return Math.max(1, Math.floor(this.viewport.clientHeight / this.rowHeight));
    };

    global.LumorandVirtualList = VirtualList;
})(window);
