"""The console's missions and series panels against the missions plugin: the default
scenario's missions as cards, filters, marking viewed and opting in through the plugin's own
routes, as a front end would."""

import json

from console_browser import ConsoleTest, eventually, main
from selenium.webdriver.support.ui import Select


class MissionsPanelTest(ConsoleTest):

    def remote_calls(self, ending):
        calls = self.host.get('/devhost/remote/calls?since=1')['items']
        return [call for call in calls if call['path'].endswith(ending)]

    def test_default_missions_appear_as_cards_in_the_plugins_order(self):
        held = self.host.held_missions(4)
        self.open('missions')
        cards = self.wait_for_css('article.mission-card', count=len(held))
        self.assertEqual([card.get_attribute('data-mission-id') for card in cards],
                         [mission['id'] for mission in held])
        by_id = self.mission_cards()
        for mission in held:
            card = by_id[mission['id']]
            self.assertIn(mission['title'], card.find_element('css selector', 'h3').text)
            self.assertEqual(card.get_attribute('data-status'), mission['status'])
            self.assertEqual(bool(card.find_elements('css selector', '.badge-new')), mission['isNew'],
                             mission['id'])
            self.assertEqual(card.get_attribute('data-viewed'), json.dumps(mission['viewed']))
        # Progress 1 of 3 as a bar, rewards listed, the series named.
        play_three = by_id['mission-play-three']
        bar = play_three.find_element('css selector', '.objective progress')
        self.assertEqual((bar.get_attribute('value'), bar.get_attribute('max')), ('1', '3'))
        self.assertIn('Starter_Series', play_three.text)
        self.assertIn('50 tokens', by_id['mission-first-win'].find_element('css selector', '.rewards').text)
        self.screenshot_if_asked()

    def test_filters_by_status_type_and_series(self):
        self.open('missions')
        self.wait_for_css('article.mission-card', count=4)
        cases = [
            ('status', 'COMPLETED', ['mission-celebration']),
            ('type', 'REPEATING', ['mission-daily']),
            ('series', 'Starter_Series', ['mission-first-win', 'mission-play-three', 'mission-celebration']),
        ]
        for name, value, expected in cases:
            with self.subTest(filter=name, value=value):
                select = Select(self.browser.find_element('css selector', f'select[name="{name}"]'))
                select.select_by_value(value)
                eventually(lambda: list(self.mission_cards()) == expected,
                           message=f'{name}={value} shows {list(self.mission_cards())}')
                select.select_by_value('')
                self.wait_for_css('article.mission-card', count=4)

    def test_mark_viewed_on_a_card_reaches_the_service_and_shows_the_card_viewed(self):
        self.open('missions')
        self.wait_for_css('article.mission-card', count=4)
        self.assertEqual(self.remote_calls('/viewed/'), [])
        self.record_writes()
        card = self.mission_cards()['mission-first-win']
        self.assertEqual(card.get_attribute('data-viewed'), 'false')
        card.find_element('css selector', 'button.mark-viewed').click()

        eventually(lambda: self.mission_cards()['mission-first-win'].get_attribute('data-viewed') == 'true',
                   message='the card never showed viewed')
        card = self.mission_cards()['mission-first-win']
        self.assertTrue(card.find_elements('css selector', '.badge-viewed'))
        self.assertFalse(card.find_elements('css selector', '.badge-new'), 'a viewed mission is no longer new')
        self.assertFalse(card.find_element('css selector', 'button.mark-viewed').is_enabled())
        calls = self.remote_calls('/viewed/')
        self.assertEqual(len(calls), 1, calls)
        self.assertEqual(json.loads(calls[0]['body']), {'missionIds': ['mission-first-win'], 'seriesIds': []})
        self.assertEqual(self.mission_cards()['mission-play-three'].get_attribute('data-viewed'), 'false')
        # Through the plugin's own routes, as a front end: mark, then fetch the lists again.
        self.assert_writes_are_json_to_the_host()
        self.assertEqual([(w['method'], w['url'][len(self.host.url):]) for w in self.writes()],
                         [('PUT', '/pyx-missions/v1/player'), ('POST', '/pyx-missions/v1/force')])

    def test_mark_all_new_viewed_sends_every_new_mission_once(self):
        self.open('missions')
        self.wait_for_css('article.mission-card', count=4)
        button = self.browser.find_element('css selector', 'button.mark-all-viewed')
        self.assertIn('(2)', button.text)
        button.click()
        eventually(lambda: not self.css('article.mission-card .badge-new'), message='missions stayed new')
        calls = self.remote_calls('/viewed/')
        self.assertEqual(len(calls), 1, calls)
        self.assertEqual(sorted(json.loads(calls[0]['body'])['missionIds']),
                         ['mission-first-win', 'mission-play-three'])
        eventually(lambda: not self.browser.find_element('css selector', 'button.mark-all-viewed').is_enabled())

    def test_opting_in_and_out_of_a_series_changes_its_status(self):
        self.open('series')
        self.record_writes()
        row = lambda: self.wait_for_css('tr[data-series-id="series-event"]')[0]
        self.assertEqual(row().get_attribute('data-status'), 'OPT_IN_AVAILABLE')
        self.assertFalse(self.css('tr[data-series-id="series-starter"] button.opt'),
                         'an active series offers no opt')
        for button_text, status in (('Join', 'OPT_IN'), ('Leave', 'OPT_OUT')):
            with self.subTest(status=status):
                button = row().find_element('css selector', 'button.opt')
                self.assertEqual(button.text, button_text)
                button.click()
                eventually(lambda: row().get_attribute('data-status') == status,
                           message=f'the series never showed {status}')
                self.assertEqual(len(self.remote_calls(f'/series-event/opt/{status}')), 1)
        self.assertEqual({s['id']: s['status'] for s in self.host.get('/pyx-missions/v1/series')}['series-event'],
                         'OPT_OUT')
        self.assert_writes_are_json_to_the_host(at_least=4)
        self.assertEqual([w['method'] for w in self.writes()], ['PATCH', 'POST', 'PATCH', 'POST'])


if __name__ == '__main__':
    main()
