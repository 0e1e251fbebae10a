// The page's views, kept in the phone's storage at every tap: a reload, a
// lost signal or a closed tab loses no count. Every figure comes from the
// core through window.morvaneReady, the same API scripts use.
(() => {
    'use strict';
    const $ = (id) => document.getElementById(id);
    const STORE = 'morvane.hall.v1';
    const MOST_UNDO = 200;
    // The small wins a player counts at the machine, by the command line's names.
    const COUNTED = [['bell', 'ベル'], ['suika', 'スイカ'], ['cherry', 'チェリー'], ['replay', 'リプレイ'],
                     ['chance', 'チャンス目']];
    const MODES = ['ハマリ', '低確', '高確', '前兆', '青7揃い', '赤7揃い'];
    const MODE_FIELDS = ['hamari', 'low', 'high', 'precursor', 'blue7', 'red7'];
    const timings = (window.morvaneTimings = { start: performance.now() });

    // ---- what is kept ------------------------------------------------------

    function newSession(name) {
        return { id: 'm' + Date.now().toString(36) + Math.floor(Math.random() * 1e6).toString(36),
                 name, games: '', bbText: '', bbSets: '', counts: {}, horizon: '1000', more: '1000',
                 threshold: '80', undo: [] };
    }

    function load() {
        try {
            const kept = JSON.parse(localStorage.getItem(STORE));
            if (kept && Array.isArray(kept.sessions) && kept.sessions.length) return kept;
        } catch (e) { /* a fresh start below */ }
        const first = newSession('台1');
        return { current: first.id, sessions: [first], prior: ['1', '1', '1', '1', '1', '1'], exchange: '5.0',
                 valueSetting: '1', counter: '0', view: 'value' };
    }
    const state = load();
    function save() { localStorage.setItem(STORE, JSON.stringify(state)); }
    function session() {
        return state.sessions.find((s) => s.id === state.current) || state.sessions[0];
    }
    // Every change the player makes can be taken back with 元に戻す.
    function change(edit) {
        const s = session();
        const { undo, ...before } = s;
        s.undo.push(JSON.stringify(before));
        if (s.undo.length > MOST_UNDO) s.undo.shift();
        edit(s);
        save();
    }

    // ---- words and numbers, as the desktop panels write them -------------

    const fixed = (v, d) => Number(v).toFixed(d);
    const percent = (share) => fixed(share * 100, 2) + '%';
    const signed = (v, d) => (v < 0 ? '-' : '+') + fixed(Math.abs(v), d);
    const grouped = (v) => fixed(Math.abs(v), 0).replace(/\B(?=(\d{3})+(?!\d))/g, ',');
    // The rate as players name it, medals per 100 yen (5.6枚交換); the core
    // takes medals per 1000 yen. A rate of 10 or more per 100 yen no hall
    // uses: it is the per-1000 number typed here, and is answered so.
    function exchangePer1000() {
        const t = String(state.exchange).trim();
        if (!/^\d+(\.\d+)?$/.test(t)) return t;  // the core's own answer names what is wrong
        const v = Number(t);
        if (v >= 10) {
            throw { field: 'exchange', message: `交換率は100円あたりの枚数で入れてください（5.6枚交換なら 5.6）。` +
                `${t}枚/100円では1枚${fixed(100 / v, 2)}円です。` };
        }
        return String(Math.round(v * 10 * 1e6) / 1e6);
    }
    function exchangeRate() {
        try {
            const e = Number(exchangePer1000());
            return e > 0 ? e : 50;
        } catch (error) {
            return 50;
        }
    }
    // The yen of medals at the money's exchange rate alone, no purchase taken off.
    const atRate = (medals, money) => Number(medals) * 1000 / Number(money.exchange);
    function medalsAndYen(medals) {
        const sign = medals < 0 ? '-' : '+';
        return `${sign}${fixed(Math.abs(medals), 0)}枚（${sign}${grouped(medals * 1000 / exchangeRate())}円）`;
    }
    // Medals with their yen found at the hall's money, or the medals alone
    // while those are not in.
    function medalsWithYen(medals, yen) {
        const sign = (v) => (v < 0 ? '-' : '+');
        return typeof yen !== 'number' || !Number.isFinite(yen) ? `${sign(medals)}${fixed(Math.abs(medals), 0)}枚`
            : `${sign(medals)}${fixed(Math.abs(medals), 0)}枚（${sign(yen)}${grouped(yen)}円）`;
    }
    const yenWords = (v) => `${v < 0 ? '-' : '+'}${grouped(v)}`;

    // ---- the hall's money, one for both views -------------------------------

    function moneyOptions() {
        return { exchange: exchangePer1000(), lend: String(state.lend || '50').trim(),
                 held: String(state.held || 'all').trim(), games_per_hour: String(state.gamesPerHour || '750').trim() };
    }
    // Medals held all along, or lent at the rate they are changed back: no
    // purchase loses a yen, and the yen are the medals at the rate.
    const heldAll = () => String(state.held || 'all').trim() === 'all';
    function noPurchaseLoss(m) {
        return m.held === 'all' || (/^\d+(\.\d+)?$/.test(m.lend) && Number(m.lend) === Number(m.exchange));
    }
    // The money asked of the core: where purchases lose nothing they are not
    // followed (slow, and the yen the same).
    function moneyAsked(m) { return noPurchaseLoss(m) ? Object.assign({}, m, { held: 'all' }) : m; }
    // The money as players say it, 5.6枚交換・現金投資（貸出50枚/1000円）, or
    // null while a field does not read.
    function moneyWords() {
        let m;
        try { m = moneyOptions(); } catch (error) { return null; }
        const e = Number(m.exchange);
        if (!/^\d+(\.\d+)?$/.test(m.exchange) || !(e > 0) || !/^\d+(\.\d+)?$/.test(m.lend) ||
            !(m.held === 'all' || /^\d+$/.test(m.held)))
            return null;
        const rate = e === 50 ? '等価' : `${Number.isInteger(e) ? fixed(e / 10, 1) : String(e / 10)}枚交換`;
        if (m.held === 'all') return `${rate}・持ちメダル`;
        const lent = `（貸出${Number(m.lend)}枚/1000円）`;
        return Number(m.held) === 0 ? `${rate}・現金投資${lent}` : `${rate}・持ちメダル${Number(m.held)}枚${lent}`;
    }
    function renderMoneyWords() {
        const words = moneyWords();
        const gph = String(state.gamesPerHour || '750').trim();
        $('moneySummary').textContent = words ? `お金: ${words}・${gph}G/時` : 'お金: 入力を確かめてください';
    }

    function noneSeenBound(n) { return n > 0 ? -Math.expm1(Math.log(0.05) / n) : 1; }
    function shareWords(share, se, passed, trials) {
        if (trials > 0 && passed === 0) return percent(noneSeenBound(trials)) + '未満';
        if (trials > 0 && passed === trials) return percent(1 - noneSeenBound(trials)) + '超';
        return `${percent(share)}（±${percent(se)}）`;
    }
    const sharePassed = (p) => Math.round(p.chance * p.continuations);
    function cls(v) { return v < 0 ? 'minus' : 'plus'; }
    function esc(t) { return String(t).replace(/[&<>"]/g, (c) => ({ '&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;' }[c])); }
    function table(head, rows, chosen) {
        return '<table><tr>' + head.map((h) => `<th>${h}</th>`).join('') + '</tr>' +
            rows.map((r, i) => `<tr${i === chosen ? ' class="chosen"' : ''} data-i="${i}">` +
                r.map((c) => `<td>${c}</td>`).join('') + '</tr>').join('') + '</table>';
    }

    // ---- errors next to their fields --------------------------------------

    function showErrors(view, error) {
        for (const el of document.querySelectorAll(`#view-${view} .err`)) el.textContent = '';
        for (const el of document.querySelectorAll(`#view-${view} input.invalid`)) el.classList.remove('invalid');
        if (!error) return;
        const field = error.field || 'options';
        const target = document.querySelector(`#view-${view} .err[data-field="${field}"]`) ||
            document.querySelector(`#view-${view} .err`);
        target.textContent = error.message;
        const fold = target.closest('details');
        if (fold) fold.open = true;
        const input = { games: 'games', bb: 'bbText', horizon: 'horizon', more: 'more', threshold: 'threshold',
                        exchange: 'exchange', lend: 'lend', held: 'held', games_per_hour: 'gamesPerHour',
                        counter: 'counter', since: 'since' }[field];
        if (input && $(input)) $(input).classList.add('invalid');
    }

    // ---- the hall's prior, shown in both views ----------------------------

    let shapes = [];
    function renderPrior() {
        for (const slot of document.querySelectorAll('.priorSlot')) {
            const options = shapes.map((s) => `<option value="${s.key}">${esc(s.label)}</option>`).join('');
            slot.innerHTML = `<details><summary>ホールの設定配分（事前の重み）: ${state.prior.join(' : ')}</summary>
                <div class="row"><label>よくある配分</label><select class="priorShape"><option value="">手入力</option>${options}</select></div>
                <div class="priorGrid">${state.prior.map((w, i) =>
                    `<label>設定${i + 1}<input class="priorWeight" data-i="${i}" inputmode="decimal" value="${esc(w)}"></label>`).join('')}</div>
                </details>`;
        }
    }
    document.addEventListener('change', (e) => {
        if (e.target.classList.contains('priorShape')) {
            const shape = shapes.find((s) => s.key === e.target.value);
            if (!shape) return;
            state.prior = shape.weights.map((w) => String(w));
            save();
            renderPrior();
            refreshAll();
        }
    });
    document.addEventListener('input', (e) => {
        if (e.target.classList.contains('priorWeight')) {
            state.prior[Number(e.target.dataset.i)] = e.target.value;
            save();
            for (const s of document.querySelectorAll('.priorSlot summary'))
                s.textContent = `ホールの設定配分（事前の重み）: ${state.prior.join(' : ')}`;
            refreshAll();
        }
    });

    // ---- 期待値 ---------------------------------------------------------------

    let valueShown = null;  // the last table found, with its request
    function valueOptions() {
        const o = moneyOptions();
        if (state.valueSetting === 'prior') o.prior = state.prior;
        else o.setting = state.valueSetting;
        return o;
    }

    let valueRound = 0;
    async function refreshValue() {
        const round = ++valueRound;
        const api = await window.morvaneReady;
        if (round !== valueRound) return;
        let options;
        try {
            options = valueOptions();
        } catch (error) {
            showErrors('value', error);
            $('valueTable').classList.add('stale');
            return;
        }
        const key = JSON.stringify(options);
        if (valueShown && valueShown.key === key) return renderValueRow();
        $('valueStatus').textContent = '収支の分布を計算中・・・';
        $('valueTable').classList.add('stale');
        try {
            // The means at once, then the law of the net behind them.
            const quick = await api.latest('valueQuick', 'value', Object.assign({ spread: false }, options));
            // A table of input typed over since is never shown.
            if (round !== valueRound) return;
            if (!valueShown || valueShown.key !== key) {
                valueShown = { key, table: quick, whole: false };
                renderValue();
                if (!timings.firstFigures) timings.firstFigures = performance.now();
            }
            const whole = await api.latest('value', 'value', options);
            if (round !== valueRound) return;
            valueShown = { key, table: whole, whole: true };
            showErrors('value', null);
            renderValue();
        } catch (error) {
            if (error.superseded || round !== valueRound) return;
            showErrors('value', error);
            $('valueStatus').textContent = '';
        }
    }

    function counterValue() {
        const t = String(state.counter).trim();
        if (!/^\d+$/.test(t)) return null;
        return Math.min(Number(t), 1531);
    }

    function renderValue() {
        const v = valueShown.table;
        const rows = v.by_count;
        const aim = v.positive_from;
        const which = v.setting !== undefined ? `設定${v.setting}` : 'ホールの配分で混合した台';
        $('valueAim').textContent = `${which}: 次のBBとその継続が終わるまで打ってやめたときの収支です。` +
            (aim !== null ? `${aim}ゲームから先は期待収支がプラスです（狙い目）。` : 'どのゲーム数でも期待収支はプラスになりません。');
        $('valueStatus').textContent = valueShown.whole ? '' : '収支の分布を計算中・・・';
        $('valueTable').classList.toggle('stale', !valueShown.whole);
        renderValueRow();
    }

    function renderValueRow() {
        if (!valueShown) return;
        const rows = valueShown.table.by_count;
        const g = counterValue();
        showErrors('value', g === null ? { field: 'counter', message: 'ゲーム数は、0以上の整数にしてください。' } : null);
        const r = rows[g === null ? 0 : g];
        const law = r.median_medals !== null;
        $('valueRow').innerHTML = g === null ? '' :
            `<div>${r.games_since}ゲームから次のBBが終わるまで打つと</div>
             <div class="big ${cls(r.ev_medals)}">${medalsAndYen(r.ev_medals)}</div>
             <div>平均${fixed(r.ev_games, 0)}ゲーム、天井で当たるのは${percent(r.p_ceiling)}</div>
             <div>お金では平均${signed(r.ev_yen, 0)}円、時給${signed(r.yen_per_hour, 0)}円</div>` +
            (law ? `<div>中央値${signed(r.median_medals, 0)}枚、勝って終わる見込み${percent(r.p_ahead)}、` +
                   `10%〜90%: ${signed(r.p10, 0)}〜${signed(r.p90, 0)}枚</div>` : '<div class="note">収支の分布を計算中・・・</div>');
        renderChart(rows, g);
        const step = 10;
        const shown = [];
        for (let i = 0; i < rows.length; i += step) shown.push(rows[i]);
        if (g !== null && g % step !== 0) {
            shown.push(rows[g]);
            shown.sort((a, b) => a.games_since - b.games_since);
        }
        const chosen = shown.findIndex((x) => x.games_since === g);
        $('valueTable').innerHTML = table(['G数', '期待収支(枚)', '円', '中央値', '勝率'], shown.map((x) => [
            x.games_since, `<span class="${cls(x.ev_medals)}">${signed(x.ev_medals, 1)}</span>`, signed(x.ev_yen, 0),
            x.median_medals === null ? '' : signed(x.median_medals, 0), x.p_ahead === null ? '' : percent(x.p_ahead)]),
            chosen);
        $('valueTable').dataset.games = JSON.stringify(shown.map((x) => x.games_since));
    }

    function renderChart(rows, g) {
        const W = 360, H = 200, L = 40, B = 20, T = 8, R = 8;
        const ev = rows.map((r) => r.ev_medals);
        const lo = rows.map((r) => (r.p25 === null ? r.ev_medals : r.p25));
        const hi = rows.map((r) => (r.p75 === null ? r.ev_medals : r.p75));
        let min = Math.min(0, ...ev, ...lo), max = Math.max(0, ...ev, ...hi);
        if (max === min) max = min + 1;
        const x = (i) => L + (W - L - R) * i / (rows.length - 1);
        const y = (v) => T + (H - T - B) * (max - v) / (max - min);
        const path = (vals) => vals.map((v, i) => `${i ? 'L' : 'M'}${x(i).toFixed(1)},${y(v).toFixed(1)}`).join('');
        const band = path(hi) + lo.map((v, i) => [i, v]).reverse().map(([i, v]) => `L${x(i).toFixed(1)},${y(v).toFixed(1)}`).join('') + 'Z';
        const ticks = [0, 500, 1000, 1531].map((t) => `<text x="${x(t)}" y="${H - 4}" font-size="10" text-anchor="middle" fill="#9a9aa8">${t}</text>`).join('');
        const yt = [min, 0, max].map((v) => `<text x="${L - 4}" y="${y(v) + 3}" font-size="10" text-anchor="end" fill="#9a9aa8">${Math.round(v)}</text>`).join('');
        const mark = g === null ? '' : `<line x1="${x(g)}" x2="${x(g)}" y1="${T}" y2="${H - B}" stroke="#f0c040" stroke-width="1.5"/>
            <circle cx="${x(g)}" cy="${y(ev[g])}" r="4" fill="#f0c040"/>`;
        $('valueChart').innerHTML = `<svg viewBox="0 0 ${W} ${H}" role="img" aria-label="ゲーム数ごとの期待収支（枚）">
            <path d="${band}" fill="#f0c04022"/>
            <line x1="${L}" x2="${W - R}" y1="${y(0)}" y2="${y(0)}" stroke="#666"/>
            <path d="${path(ev)}" fill="none" stroke="#7ddc8a" stroke-width="2"/>${mark}${ticks}${yt}
            <text x="${L + 4}" y="${T + 10}" font-size="10" fill="#9a9aa8">期待収支（枚）と収支の25%〜75%</text></svg>`;
    }

    $('valueSetting').innerHTML = [1, 2, 3, 4, 5, 6].map((s) => `<option value="${s}">設定${s}</option>`).join('') +
        '<option value="prior">ホールの配分で混合</option>';
    $('valueSetting').addEventListener('change', (e) => { state.valueSetting = e.target.value; save(); refreshValue(); });
    // A change of money: the view shown is found again. この台's yen are slow
    // to find for new money, so they are asked for once the typing pauses,
    // the ones shown dimmed meanwhile.
    let moneyTimer = 0;
    function moneyChanged() {
        save();
        renderMoneyWords();
        if (state.view === 'value') refreshValue();
        if (state.view !== 'machine') return;
        // No yen of the money before stay in sight.
        $('yenTable').innerHTML = '';
        $('purchasesNote').textContent = '';
        $('decision').classList.add('stale');
        $('moneyNote').textContent = '新しいお金の条件で計算し直します・・・';
        clearTimeout(moneyTimer);
        const at = performance.now();
        moneyTimer = setTimeout(() => refreshMachine(undefined, at), 400);
    }
    for (const [id, key] of [['exchange', 'exchange'], ['lend', 'lend'], ['held', 'held'], ['gamesPerHour', 'gamesPerHour']])
        $(id).addEventListener('input', (e) => { state[key] = e.target.value; moneyChanged(); });
    for (const b of document.querySelectorAll('.heldSteps button'))
        b.addEventListener('click', () => { state.held = b.dataset.held; $('held').value = state.held; moneyChanged(); });
    $('counter').addEventListener('input', (e) => { state.counter = e.target.value; save(); renderValueRow(); });
    $('valueTable').addEventListener('click', (e) => {
        const tr = e.target.closest('tr[data-i]');
        if (!tr) return;
        state.counter = String(JSON.parse($('valueTable').dataset.games)[Number(tr.dataset.i)]);
        $('counter').value = state.counter;
        save();
        renderValueRow();
    });

    // ---- この台 -----------------------------------------------------------------

    // The BBs' games of the history as typed, or null when it does not read.
    function bbGamesSum(text) {
        const list = text.trim() === '' ? [] : text.split(',');
        let sum = 0;
        for (const item of list) {
            const m = /^\s*(\d+)/.exec(item);
            if (!m) return null;
            sum += Number(m[1]);
        }
        return sum;
    }
    function sinceOf(s) {
        const sum = bbGamesSum(s.bbText);
        const g = String(s.games).trim();
        if (sum === null || !/^\d+$/.test(g)) return '';
        return String(Number(g) - sum);
    }

    function renderMachineInputs() {
        const s = session();
        const focus = document.activeElement && document.activeElement.id;
        const put = (id, v) => { if (focus !== id) $(id).value = v; };
        put('games', s.games);
        put('since', sinceOf(s));
        put('bbText', s.bbText);
        put('bbSets', s.bbSets);
        put('horizon', s.horizon);
        put('more', s.more);
        put('threshold', s.threshold);
        $('counts').innerHTML = COUNTED.map(([key, label]) =>
            `<button data-count="${key}" aria-label="${label} +1">${label} +1<b>${s.counts[key] || 0}</b></button>`).join('');
        $('undo').disabled = s.undo.length === 0;
        $('undo').textContent = s.undo.length ? `元に戻す（${s.undo.length}）` : '元に戻す';
        $('machineTitle').textContent = s.name;
    }

    function hallOptions(s) {
        const count = {};
        for (const [key] of COUNTED) if (s.counts[key]) count[key] = s.counts[key];
        return { games: s.games, bb: s.bbText.trim() === '' ? [] : s.bbText.split(','), count, prior: state.prior };
    }

    // What この台 shows, each answer with the request it was found for: a
    // figure in yen is never shown under money it was not found at.
    const known = { quick: null, keep: null, priced: null, pricedKey: null, keepYen: null, keepYenKey: null,
                    horizon: 0 };
    // The last answer of each lane: the same request is not asked twice (a
    // change of money leaves the medals' figures as they are).
    const answers = {};
    async function ask(api, lane, options) {
        const key = JSON.stringify(options);
        if (answers[lane] && answers[lane].key === key) return answers[lane].result;
        const result = await api.latest(lane, 'estimate', options);
        answers[lane] = { key, result };
        return result;
    }

    let machineRound = 0;
    async function refreshMachine(tapAt, moneyAt) {
        // Found afresh when the view is shown: a money change's pause may end
        // on another view, whose own yen must not be let go for these.
        if (state.view !== 'machine') return;
        const api = await window.morvaneReady;
        const round = ++machineRound;
        document.body.dataset.startedRound = String(round);
        clearTimeout(moneyTimer);
        const s = session();
        const base = hallOptions(s);
        renderMoneyWords();
        if (String(s.games).trim() === '' && s.bbText.trim() === '') {
            showErrors('machine', null);
            $('posteriorNote').textContent = '総ゲーム数（データカウンターの累計）を入れると、設定推測と台のいまを計算します。';
            settled(round);
            return;
        }
        for (const id of ['posterior', 'nowTable', 'yenTable', 'modes', 'decision', 'moreText']) $(id).classList.add('stale');
        const figures = Object.assign({ horizon: s.horizon }, base);
        let quick;
        try {
            quick = await ask(api, 'quick', figures);
        } catch (error) {
            if (error.superseded || round !== machineRound) return;
            showErrors('machine', error);
            settled(round);
            return;  // the last figures stay, dimmed: nothing typed is lost
        }
        if (round !== machineRound) return;
        showErrors('machine', null);
        let money = null;
        try {
            money = moneyAsked(moneyOptions());
        } catch (error) {
            showErrors('machine', error);
        }
        const moneyKey = money && JSON.stringify([figures, money]);
        if (known.pricedMoney !== JSON.stringify(money)) {
            $('yenTable').innerHTML = '';
            $('purchasesNote').textContent = '';
        }
        if (known.pricedKey !== moneyKey) { known.priced = null; known.pricedKey = null; }
        if (known.keepYenKey !== moneyKey) { known.keepYen = null; known.keepYenKey = null; }
        known.quick = quick;
        known.horizon = Number(s.horizon);
        known.keep = null;
        renderPosterior(quick);
        renderNowTable();
        $('posterior').classList.remove('stale');
        $('nowTable').classList.remove('stale');
        timings.lastTap = performance.now() - (tapAt || performance.now());
        timings.lastQuickMs = quick.ms;
        if (!timings.firstFigures) timings.firstFigures = performance.now();
        document.body.dataset.machineRound = String(round);
        renderDecision(money);
        try {
            // Keep or quit on the medals first: with all medals held it is
            // the answer, else the one for medals held while the purchases
            // at the money are found.
            known.keep = await ask(api, 'now', Object.assign({ now: true }, figures));
            if (round !== machineRound) return;
            if (tapAt !== undefined) timings.keepAfter = performance.now() - tapAt;
            renderDecision(money);
            $('modes').classList.remove('stale');
            $('modes').innerHTML = table(['いまの状態', '確率'], MODE_FIELDS.map((f, i) => [MODES[i], percent(known.keep.modes[f])]));
        } catch (error) {
            if (error.superseded || round !== machineRound) return;
            showErrors('machine', error);
            settled(round);
            return;
        }
        if (!(await refreshMore(round))) return;
        const asked = moneyAt !== undefined ? moneyAt : tapAt;
        if (state.view !== 'machine') return;
        if (money && !(await refreshMoney(api, round, figures, money, moneyKey, asked))) return;
        settled(round);
    }

    // The figures in yen at the hall's money, then with purchases the keep or
    // quit they choose. False when a newer round took over.
    async function refreshMoney(api, round, figures, money, moneyKey, askedAt) {
        try {
            if (!known.priced) {
                const priced = await ask(api, 'priced', Object.assign({}, figures, money));
                if (round !== machineRound) return false;
                known.priced = priced;
                known.pricedKey = moneyKey;
                known.pricedMoney = JSON.stringify(money);
            }
            if (askedAt !== undefined) timings.yenAfter = performance.now() - askedAt;
            renderNowTable();
            renderDecision(money);
            if (!noPurchaseLoss(money) && !known.keepYen) {
                // Keep or quit's purchases, the slow part, half on each of two
                // copies of the core once the figures are in (so that those
                // come first), then given to the one that decides.
                const asked = Object.assign({ now: true, figures_yen: false }, figures, money);
                const halves = await Promise.all([
                    ask(api, 'yenHalfA', Object.assign({ purchases_of: [1, 2, 3] }, asked)),
                    ask(api, 'yenHalfB', Object.assign({ purchases_of: [4, 5, 6] }, asked))]);
                if (round !== machineRound) return false;
                const given = halves.flatMap((h) => h.purchases);
                const keepYen = await ask(api, 'nowYen', Object.assign({ purchases_given: given }, asked));
                if (round !== machineRound) return false;
                known.keepYen = keepYen;
                known.keepYenKey = moneyKey;
            }
            if (askedAt !== undefined) timings.verdictAfter = performance.now() - askedAt;
            renderDecision(money);
        } catch (error) {
            if (error.superseded || round !== machineRound) return false;
            showErrors('machine', error);
            $('moneyNote').textContent = '';
            $('yenTable').innerHTML = '';
            $('purchasesNote').textContent = '';
        }
        return true;
    }

    function settled(round) {
        if (round === machineRound) document.body.dataset.settledRound = String(round);
    }

    async function refreshMore(round) {
        const api = await window.morvaneReady;
        const s = session();
        const t = String(s.threshold).trim();
        const threshold = /^\d+(\.\d+)?$/.test(t) ? String(Number(t) / 100) : t;
        $('moreText').textContent = `あと${esc(s.more)}ゲーム見た場合を模擬中・・・`;
        try {
            const m = await ask(api, 'more', Object.assign({ more: s.more, threshold, sessions: 2000 }, hallOptions(s)));
            if (round !== machineRound) return false;
            const mg = m.more_games;
            const th = (mg.threshold * 100).toPrecision(6).replace(/\.?0+$/, '') + '%';
            $('moreText').textContent = `あと${mg.games}ゲーム見ると、設定5・6の合計が${th}以上になる見込みは` +
                `${shareWords(m.pass_5_6.chance, m.pass_5_6.se, sharePassed(m.pass_5_6), m.pass_5_6.continuations)}、` +
                `いちばん高い設定の確率が${th}以上になる見込みは` +
                `${shareWords(m.pass_top.chance, m.pass_top.se, sharePassed(m.pass_top), m.pass_top.continuations)}です。` +
                `いまは設定5・6が${percent(mg.high_now)}、いちばん高い設定が${percent(mg.top_now)}です（${m.pass_5_6.continuations}通りの続きを模擬）。`;
            $('moreText').classList.remove('stale');
        } catch (error) {
            if (error.superseded || round !== machineRound) return false;
            $('moreText').textContent = '';
            showErrors('machine', error);
        }
        return true;
    }

    function renderPosterior(r) {
        const prior = state.prior.map(Number);
        const total = prior.reduce((a, b) => a + b, 0);
        $('posterior').innerHTML = table(['設定', '確率', '事前の配分'], r.settings.map((x, i) => [
            x.setting, percent(x.posterior), total > 0 ? percent(prior[i] / total) : '']));
        const s = session();
        $('posteriorNote').textContent =
            `BB ${s.bbText.trim() === '' ? 0 : s.bbText.split(',').length}回、数えた小役 ${Object.keys(hallOptions(s).count).length}種類から推測しています。`;
    }

    // The medals' table from the quick figures; the yen's beside it once
    // found at the money shown.
    function renderNowTable() {
        const r = known.quick, horizon = known.horizon;
        const rows = r.settings.map((x) => x.next_games === null || x.posterior === 0 ? [x.setting, '', ''] :
            [x.setting, signed(x.next_games, 1), signed(x.until_bb, 1)]);
        rows.push(['全体', signed(r.mixed.next_games, 1), signed(r.mixed.until_bb, 1)]);
        const keep = known.keep;
        const withGames = keep && keep.mixed.until_bb_games !== undefined;
        if (withGames) {
            keep.settings.forEach((x, i) => rows[i].push(x.next_games === null || x.posterior === 0 ? '' : fixed(x.until_bb_games, 1)));
            rows[rows.length - 1].push(fixed(keep.mixed.until_bb_games, 1));
        }
        $('nowTable').innerHTML = table(['設定', `次の${horizon}G<br>収支`, '次のBBまで<br>収支'].concat(withGames ? ['次のBBまで<br>G数'] : []), rows);
        const p = known.priced;
        $('yenTable').classList.toggle('stale', !p);
        if (!p) return;
        const cells = (x) => [yenWords(x.next_games_yen), yenWords(x.next_games_yen_per_hour),
                              yenWords(x.until_bb_yen), yenWords(x.until_bb_yen_per_hour)];
        const yenRows = p.settings.map((x) => x.next_games_yen === null || x.posterior === 0 ? [x.setting, '', '', '', ''] :
            [x.setting].concat(cells(x)));
        yenRows.push(['全体'].concat(cells(p.mixed)));
        $('yenTable').innerHTML = table(['設定', `次の${horizon}G<br>円`, '時給', '次のBBまで<br>円', '時給'], yenRows);
        const m = p.mixed;
        $('purchasesNote').textContent = heldAll() || m.next_games_purchases === 0 ? '' :
            `メダルが足りなくなって借りる回数は、平均で次の${horizon}Gに${fixed(m.next_games_purchases, 1)}回` +
            `（${grouped(m.next_games_purchases * 1000)}円）、次のBBまでに${fixed(m.until_bb_purchases, 1)}回です。`;
    }

    // The words of keep or quit, in yen at the money once they are found.
    function renderDecision(money) {
        const q = known.quick, keep = known.keep, p = known.priced;
        const s = session();
        const words = moneyWords();
        const allHeld = !money || noPurchaseLoss(money);
        // Medals with their yen: at the rate alone while all medals are held,
        // else those found with the purchases.
        const worth = (medals, yen) => medalsWithYen(medals, allHeld && money ? atRate(medals, money) : yen);
        const nextGames = keep ? keep.mixed.until_bb_games : undefined;
        let text = `前回のBBから${sinceOf(s)}ゲーム。次の${known.horizon}ゲームを打つと平均` +
            `${worth(q.mixed.next_games, p && p.mixed.next_games_yen)}、次のBBが終わるまでなら平均` +
            `${worth(q.mixed.until_bb, p && p.mixed.until_bb_yen)}` +
            (nextGames !== undefined ? `（約${fixed(nextGames, 0)}ゲーム）` : '') + 'です。';
        const decision = $('decision');
        if (!keep) {
            decision.textContent = text + '続けるかどうかを計算中・・・';
            decision.dataset.money = '';
        } else {
            // With purchases the rule of the most yen, once found; till then
            // the one for medals held, said so.
            const buys = money && !allHeld;
            const yenKeep = buys ? known.keepYen : null;
            const r = yenKeep || keep;
            const best = r.best_rule, a = r.advice, spread = r.rule_spread;
            const ruleWords = best.kind === 'bbs' ? `${best.n}回目のBBが終わるまで打つ` : `あと${best.n}ゲーム打ってやめる`;
            const bestYen = yenKeep ? best.ev_yen : null;
            // Once medals are bought, behind and the spread are the yen's, as the rule was chosen.
            const onYen = !!(yenKeep && spread && spread.behind_yen !== undefined);
            const behind = spread && (onYen ? [spread.behind_yen, spread.behind_yen_se] : [spread.behind, spread.behind_se]);
            const gain = `平均${worth(best.ev_medals, bestYen)}` + (spread ? `、負けで終わる見込みは${shareWords(behind[0],
                behind[1], Math.round(behind[0] * spread.sessions), spread.sessions)}` : '');
            const sd = !spread ? '0枚' : onYen ? `${grouped(spread.sd_yen)}円` : `${fixed(spread.sd, 0)}枚`;
            text += buys && !yenKeep ? '続けるか（持ちメダルで打つなら）: ' : '続けるか: ';
            if (a.verdict === 'quit') text += 'やめるのが得です。どの打ち方でも期待収支はプラスになりません。';
            else if (a.verdict === 'about_even')
                text += `ほぼ五分です。いちばん良いのは${a.precursor_look ? '、前兆の可能性を見て' : '、'}${ruleWords}ことで、${gain}ですが、` +
                    `1回ごとのばらつき（標準偏差${sd}）に比べて小さな差で、続けてもやめても大きな違いはありません。`;
            else if (a.precursor_look)
                text += `前兆の可能性があるので、あと${best.n}ゲームだけ様子を見る価値があります（${gain}）。それより長く打っても平均は増えません。`;
            else text += `続ける価値があります。いちばん良いのは、${ruleWords}ことです（${gain}）。`;
            decision.textContent = text;
            decision.dataset.verdict = a.verdict;
            decision.dataset.money = buys ? (yenKeep ? 'yen' : 'medals') : money ? 'yen' : 'medals';
            decision.classList.remove('stale');
            renderNowTable();
        }
        const gph = String(state.gamesPerHour || '750').trim();
        const pending = money && !allHeld && !known.keepYen;
        const said = `円は ${words}、時給は ${gph}G/時 で`;
        $('moneyNote').textContent = !money || !words ? '' : !p ? said + (allHeld ? '計算中・・・' :
            '計算中・・・（メダルを借りる回数を求めています。数十秒かかることがあります）') :
            said + '計算しています。' +
            (pending ? '円で見た「続けるか」は計算中・・・（数十秒かかることがあります）' : '');
    }

    function tap(edit) {
        const at = performance.now();
        change(edit);
        renderMachineInputs();
        refreshMachine(at);
    }

    $('counts').addEventListener('click', (e) => {
        const b = e.target.closest('button[data-count]');
        if (!b) return;
        tap((s) => { s.counts[b.dataset.count] = (s.counts[b.dataset.count] || 0) + 1; });
    });
    $('undo').addEventListener('click', () => {
        const s = session();
        if (!s.undo.length) return;
        const before = JSON.parse(s.undo.pop());
        Object.assign(s, before);
        save();
        renderMachineInputs();
        refreshMachine(performance.now());
    });
    function addBB(colour) {
        const s = session();
        const since = sinceOf(s);
        if (!/^\d+$/.test(since) || Number(since) < 1) {
            showErrors('machine', { field: 'since', message: 'BBを入れる前に、前回のBBからのゲーム数（1以上）を入れてください。' });
            return;
        }
        const sets = String(s.bbSets).trim();
        if (sets !== '' && !/^[1-9]\d*$/.test(sets)) {
            showErrors('machine', { field: 'bb', message: `継続数「${sets}」が読めません（1以上の整数、分からなければ空欄）。` });
            return;
        }
        tap((x) => {
            const entry = since + colour + (colour === '' && sets !== '' ? '?' : '') + sets;
            x.bbText = x.bbText.trim() === '' ? entry : x.bbText.trim() + ',' + entry;
            x.bbSets = '';
        });
    }
    $('bbBlue').addEventListener('click', () => addBB('b'));
    $('bbRed').addEventListener('click', () => addBB('r'));
    $('bbUnknown').addEventListener('click', () => addBB(''));
    for (const b of document.querySelectorAll('.steps[data-target="since"] button'))
        b.addEventListener('click', () => {
            const s = session();
            const g = String(s.games).trim();
            const step = Number(b.dataset.step);
            tap((x) => { x.games = String((/^\d+$/.test(g) ? Number(g) : 0) + step); });
        });
    for (const b of document.querySelectorAll('.steps[data-target="counter"] button'))
        b.addEventListener('click', () => {
            const c = counterValue() || 0;
            state.counter = String(Math.max(0, Math.min(1531, c + Number(b.dataset.step))));
            $('counter').value = state.counter;
            save();
            renderValueRow();
        });

    // Typing: one step of undo per field edited, the figures as the typing pauses.
    let typingField = null, typingTimer = 0;
    function typed(id, apply) {
        $(id).addEventListener('input', (e) => {
            const s = session();
            if (typingField !== id) {
                const { undo, ...before } = s;
                s.undo.push(JSON.stringify(before));
                typingField = id;
            }
            apply(s, e.target.value);
            save();
            if (id !== 'games' && id !== 'since') $('since').value = sinceOf(s);
            if (id !== 'bbSets') {
                clearTimeout(typingTimer);
                const at = performance.now();
                typingTimer = setTimeout(() => { renderMachineInputs(); refreshMachine(at); }, 150);
            }
        });
        $(id).addEventListener('blur', () => { typingField = null; renderMachineInputs(); });
    }
    typed('games', (s, v) => { s.games = v; });
    typed('bbText', (s, v) => { s.bbText = v; });
    typed('bbSets', (s, v) => { s.bbSets = v; });
    typed('horizon', (s, v) => { s.horizon = v; });
    typed('more', (s, v) => { s.more = v; });
    typed('threshold', (s, v) => { s.threshold = v; });
    typed('since', (s, v) => {
        const sum = bbGamesSum(s.bbText);
        const t = v.trim();
        // The counter's games since the last BB: the total follows.
        if (sum !== null && /^\d+$/.test(t)) s.games = String(sum + Number(t));
    });

    $('trustButton').addEventListener('click', async () => {
        const api = await window.morvaneReady;
        const s = session();
        $('trustText').textContent = '模擬中・・・';
        try {
            const r = await api.latest('trust', 'estimate', Object.assign({ trust: 2000 }, hallOptions(s)));
            const t = r.trust;
            const lines = [`設定をこの配分で選んだ台の${t.games}ゲームのデータ（同じ形のBB履歴と数えた小役）${t.sessions}回を模擬すると、` +
                `いちばん確率の高い設定が本当の設定だったのは${shareWords(t.right / t.sessions,
                    Math.sqrt((t.right / t.sessions) * (1 - t.right / t.sessions) / t.sessions), t.right, t.sessions)}でした。` +
                '表示された確率が当たる割合（10%ごと）:'];
            for (const b of t.bins) if (b.shown > 0) {
                const p = b.truths / b.shown;
                lines.push(`・${fixed(b.from * 100, 0)}〜${fixed(b.to * 100, 0)}%（平均${percent(b.mean_shown)}）と出た${b.shown}件のうち、` +
                    `実際に当たったのは${shareWords(p, Math.sqrt(p * (1 - p) / b.shown), b.truths, b.shown)}`);
            }
            $('trustText').innerText = lines.join('\n');
        } catch (error) {
            $('trustText').textContent = '';
            if (!error.superseded) showErrors('machine', error);
        }
    });

    // ---- 台の一覧 ---------------------------------------------------------------

    function renderList() {
        $('machineName').value = session().name;
        $('sessionList').innerHTML = state.sessions.map((s) => {
            const bbs = s.bbText.trim() === '' ? 0 : s.bbText.split(',').length;
            const counted = Object.values(s.counts).reduce((a, b) => a + b, 0);
            return `<div class="session${s.id === state.current ? ' on' : ''}" data-id="${s.id}">
                <div class="what">${esc(s.name)}<small>総ゲーム数 ${esc(s.games || '-')}・BB ${bbs}回・小役 ${counted}回</small></div>
                <button data-open="${s.id}">開く</button><button data-delete="${s.id}">削除</button></div>`;
        }).join('');
    }
    $('sessionList').addEventListener('click', (e) => {
        const open = e.target.closest('[data-open]'), del = e.target.closest('[data-delete]');
        if (open) {
            state.current = open.dataset.open;
            save();
            show('machine');
        } else if (del) {
            const s = state.sessions.find((x) => x.id === del.dataset.delete);
            if (!s || !window.confirm(`「${s.name}」を削除しますか？`)) return;
            state.sessions = state.sessions.filter((x) => x !== s);
            if (!state.sessions.length) state.sessions.push(newSession('台1'));
            if (!state.sessions.some((x) => x.id === state.current)) state.current = state.sessions[0].id;
            save();
            renderList();
        }
    });
    $('newSession').addEventListener('click', () => {
        const s = newSession(`台${state.sessions.length + 1}`);
        state.sessions.push(s);
        state.current = s.id;
        save();
        show('machine');
    });
    $('machineName').addEventListener('input', (e) => { session().name = e.target.value; save(); renderList(); });
    $('exportSession').addEventListener('click', () => {
        const { undo, ...s } = session();
        const blob = new Blob([JSON.stringify({ morvane: 'session', version: 1, session: s, prior: state.prior }, null, 1)],
                              { type: 'application/json' });
        const a = document.createElement('a');
        a.href = URL.createObjectURL(blob);
        a.download = `${s.name || 'morvane'}.json`;
        a.click();
        setTimeout(() => URL.revokeObjectURL(a.href), 1000);
    });
    // A session as exported: its fields checked, a new id so it never
    // overwrites one kept here.
    function importSession(text) {
        let doc;
        try { doc = JSON.parse(text); } catch (e) { doc = null; }
        const s = doc && doc.morvane === 'session' && doc.session;
        const str = (v) => typeof v === 'string' || typeof v === 'number';
        if (!s || !str(s.games) || typeof s.bbText !== 'string' || typeof s.counts !== 'object' ||
            Object.values(s.counts || {}).some((k) => !Number.isInteger(k) || k < 0))
            throw new Error('このファイルは、書き出した台のJSONではありません。');
        const fresh = newSession(String(s.name || '読み込んだ台'));
        Object.assign(fresh, { games: String(s.games), bbText: s.bbText, counts: {},
                               horizon: String(s.horizon || '1000'), more: String(s.more || '1000'),
                               threshold: String(s.threshold || '80') });
        for (const [key] of COUNTED) if (s.counts[key]) fresh.counts[key] = s.counts[key];
        return fresh;
    }
    $('importSession').addEventListener('change', async (e) => {
        const file = e.target.files[0];
        if (!file) return;
        try {
            const s = importSession(await file.text());
            state.sessions.push(s);
            state.current = s.id;
            save();
            showErrors('list', null);
            show('machine');
        } catch (error) {
            showErrors('list', { field: 'import', message: error.message });
        }
        e.target.value = '';
    });
    // A saved run opened here: its estimate over この台's horizon at once, in
    // medals; with purchases that lose yen, the yen at the hall's money from
    // the money's own core, the medals alone shown till then. Kept, so that
    // money changed meanwhile is asked for when the view is back.
    let simShown = null;
    let simRound = 0;
    function simHorizon() {
        const h = String(session().horizon).trim();
        return /^\d+$/.test(h) && Number(h) >= 1 && Number(h) <= 20000 ? h : '1000';
    }
    function simKey(sim) {
        let money = null;
        try { money = moneyAsked(moneyOptions()); } catch (error) { money = null; }
        return { money, key: JSON.stringify([sim.name, sim.bytes.length, state.prior, simHorizon(), money]) };
    }
    // `refused`: why the money's yen cannot be found, the medals shown alone.
    function renderSim(sim, r, money, priced, refused) {
        const words = moneyWords();
        const buys = money && !noPurchaseLoss(money);
        // The medals at the rate where no purchase loses, else the yen found with them.
        const yen = !money ? undefined : !buys ? atRate(r.mixed.next_games, money)
            : priced ? priced.mixed.next_games_yen : undefined;
        const said = !money || !words ? '' : refused ? refused : buys && !priced
            ? `円は ${words} で計算中・・・（メダルを借りる回数を求めています。数十秒かかることがあります）`
            : `円は ${words} で計算しています。`;
        $('simResult').innerHTML = `<p>${esc(sim.name)}: ${r.file_games}ゲームの記録からの推測です。</p>` +
            table(['設定', '確率', '次のBBまで 収支'], r.settings.map((x) => [x.setting, percent(x.posterior),
                x.until_bb === null ? '' : signed(x.until_bb, 1)])) +
            `<p class="note" id="simNext">前回のBBから${r.games_since_bb}ゲーム。次の${r.best_rule.horizon}ゲームを打つと平均` +
            `${medalsWithYen(r.mixed.next_games, yen)}です。</p>` +
            (said ? `<p class="note" id="simMoney">${esc(said)}</p>` : '');
        $('simResult').dataset.money = buys ? (priced ? 'yen' : refused ? 'medals' : 'pending') : 'yen';
    }
    async function refreshSim(sim) {
        const round = ++simRound;
        const api = await window.morvaneReady;
        const { money, key } = simKey(sim);
        sim.key = key;
        $('simResult').textContent = 'シミュレーションファイルを読み込み中・・・';
        $('simResult').dataset.money = '';
        try {
            const base = { file: sim.bytes, prior: state.prior, horizon: simHorizon(), seed: 1 };
            const r = await api.estimate(Object.assign({ now: true }, base));
            if (round !== simRound) return;
            showErrors('list', null);
            renderSim(sim, r, money, null);
            if (!money || noPurchaseLoss(money)) return;
            let priced = null, refused = '';
            try {
                priced = await api.latest('simPriced', 'estimate', Object.assign({}, base, money));
            } catch (error) {
                // A money the core refuses (purchases past their games) leaves the medals standing.
                if (error.superseded || !error.field) throw error;
                refused = error.message;
            }
            if (round !== simRound) return;
            renderSim(sim, r, money, priced, refused);
        } catch (error) {
            // Let go for この台's money: asked again when the view is back.
            if (error.superseded && round === simRound) sim.key = null;
            if (error.superseded || round !== simRound) return;
            $('simResult').textContent = '';
            showErrors('list', error);
        }
    }
    $('simFile').addEventListener('change', async (e) => {
        const file = e.target.files[0];
        if (!file) return;
        simShown = { name: file.name, bytes: new Uint8Array(await file.arrayBuffer()) };
        e.target.value = '';
        refreshSim(simShown);
    });

    // ---- views ----------------------------------------------------------------

    function show(view) {
        state.view = view;
        save();
        const home = document.querySelector(`.moneyHome[data-view="${view}"]`);
        if (home && $('money').parentNode !== home) home.appendChild($('money'));
        for (const b of document.querySelectorAll('.tabs button')) b.classList.toggle('on', b.dataset.view === view);
        for (const v of document.querySelectorAll('.view')) v.classList.toggle('on', v.id === 'view-' + view);
        if (view === 'value') refreshValue();
        if (view === 'machine') { renderMachineInputs(); refreshMachine(); }
        if (view === 'list') {
            renderList();
            if (simShown && simKey(simShown).key !== simShown.key) refreshSim(simShown);
        }
        $('machineTitle').textContent = session().name;
    }
    function refreshAll() {
        if (state.view === 'machine') refreshMachine();
        if (state.view === 'value' && state.valueSetting === 'prior') refreshValue();
    }
    for (const b of document.querySelectorAll('.tabs button')) b.addEventListener('click', () => show(b.dataset.view));

    $('valueSetting').value = state.valueSetting;
    $('exchange').value = state.exchange;
    $('lend').value = state.lend || '50';
    $('held').value = state.held || 'all';
    $('gamesPerHour').value = state.gamesPerHour || '750';
    $('counter').value = state.counter;
    renderPrior();
    show(state.view || 'machine');
    window.morvaneReady.then(async (api) => {
        $('engineState').textContent = '';
        shapes = await api.shapes();
        renderPrior();
    }, (error) => { $('engineState').textContent = error.message; });

    if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch(() => {});
})();
