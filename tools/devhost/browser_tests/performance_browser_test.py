"""The missions panel with 3,000 missions held: its first paint, measured in the browser with
performance marks, stays under a second."""

import os
import sys

from console_browser import ConsoleTest, eventually, main

COUNT = 3000
BUDGET_MS = 1000.0
# A sanitizer build's devhost is several times slower than the product: its figure is printed
# but not held to the budget (the build sets DEVHOST_TIMING_BUDGET=off).
HOLD_BUDGET = os.environ.get('DEVHOST_TIMING_BUDGET', 'on') != 'off'
STATUSES = ['PENDING', 'COMPLETED', 'PENDING', 'DISABLED']
TYPES = ['ONETIME', 'REPEATING', 'ONETIME']
SERIES = ['Starter_Series', 'Event_Series', 'Weekly_Series']


def many_missions(count):
    """`count` missions shaped like the scenario's, with objectives and rewards to draw."""
    return [{
        'id': f'mission-{index:05d}',
        'internalName': f'generated_{index}',
        'title': f'Generated mission {index}',
        'description': f'Finish task {index} of a long list; the console draws it a page at a time.',
        'helperText': 'Any mode counts.',
        'seriesName': SERIES[index % len(SERIES)],
        'status': STATUSES[index % len(STATUSES)],
        'missionType': TYPES[index % len(TYPES)],
        'displayType': 'ALWAYS',
        'clientNotifyLevel': 'NEVER',
        'startTime': 1700000000000,
        'endTime': 4102444800000,
        'isNew': index % 5 == 0,
        'viewed': index % 3 == 0,
        'objectives': [{'type': 'PLAY', 'description': f'Step {step}', 'sequence': step,
                        'progress': {'lastViewedProgress': 0, 'currentProgress': index % (step + 2),
                                     'totalCount': step + 2}} for step in range(1, 3)],
        'rewards': [{'rewardType': 'CURRENCY', 'description': f'{index % 90 + 10} tokens',
                     'rewardFulfilled': False, 'iconUrl': '', 'itemId': f'tokens-{index}',
                     'media': {}}],
    } for index in range(count)]


class ManyMissionsTest(ConsoleTest):

    def test_first_paint_with_3000_missions_is_under_a_second(self):
        self.host.held_missions(4)
        self.host.call('PUT', '/devhost/remote/missions', many_missions(COUNT))
        self.host.call('POST', '/pyx-missions/v1/force', {})
        self.host.held_missions(COUNT)

        # A browser already running, as a developer's is: a first page of the host warms it up,
        # and the console itself then loads from nothing cached.
        self.browser.get(self.host.url + '/devhost')
        self.open('missions')
        figures = eventually(lambda: self.browser.execute_script("""
            const mark = (name) => performance.getEntriesByName(name)[0]?.startTime;
            if (mark('missions-first-paint') === undefined) return null;
            return {paint: mark('missions-first-paint'), fetchStart: mark('missions-fetch-start'),
                    fetchEnd: mark('missions-fetch-end'),
                    loaded: performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd};
        """), 20, 'the missions panel never painted its cards')
        print(f'first paint of the missions panel with {COUNT} missions: {figures["paint"]:.0f} ms after '
              f'navigation (page loaded {figures["loaded"]:.0f} ms, missions read '
              f'{figures["fetchStart"]:.0f}-{figures["fetchEnd"]:.0f} ms)', file=sys.stderr)

        self.assertEqual(self.css('[data-count="missions"]')[0].text, str(COUNT))
        cards = self.css('article.mission-card')
        self.assertGreater(len(cards), 0)
        self.assertLess(len(cards), COUNT, 'a long list is drawn a page at a time')
        self.assertEqual(cards[0].get_attribute('data-mission-id'), 'mission-00000')
        if HOLD_BUDGET:
            self.assertLess(figures['paint'], BUDGET_MS)

        # The rest follows as the reader scrolls down, and the filters see the whole list.
        shown = len(cards)
        self.browser.execute_script('arguments[0].scrollIntoView()', self.css('button.show-more')[0])
        eventually(lambda: len(self.css('article.mission-card')) > shown, message='no more cards shown')
        self.browser.execute_script(
            "const s = document.querySelector('select[name=status]'); s.value = 'DISABLED';"
            "s.dispatchEvent(new Event('change', {bubbles: true}));")
        eventually(lambda: {c.get_attribute('data-status') for c in self.css('article.mission-card')} == {'DISABLED'})
        self.assertIn(f'{COUNT // 4} shown by the filters', self.css('#missions-heading + p')[0].text)


if __name__ == '__main__':
    main()
