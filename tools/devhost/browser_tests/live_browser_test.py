"""The console's live, world and empty-list views against the missions plugin: events of a pushed
player update, the log and the requests, logging out, and the event stream coming back after
devhost restarted."""

import os
import tempfile

from console_browser import ConsoleTest, DevHost, eventually, main


class LivePanelTest(ConsoleTest):

    def event_names(self):
        return [button.get_attribute('data-event-name') for button in self.css('button.event')]

    def test_a_pushed_player_update_shows_new_events_in_the_live_panel(self):
        self.host.held_missions(4)
        self.open('world')
        self.wait_for_css('button.push-update')
        self.show('live')
        self.wait_for_css('#events-heading')
        before = len(self.event_names())

        self.show('world')
        self.wait_for_css('button.push-update')[0].click()
        self.show('live')
        missions_event = 'OnJsonApiEvent_pyx-missions_v1_missions'
        names = eventually(lambda: (lambda names: names if len(names) >= before + 2 else None)(self.event_names()),
                           message='no new events after the player update')
        self.assertIn(missions_event, names)
        self.assertIn('OnJsonApiEvent_pyx-missions_v1_series', names)

        # The payload viewer shows what the plugin published.
        self.css(f'button.event[data-event-name="{missions_event}"]')[0].click()
        payload = self.wait_for_css('.payload pre')[0].text
        self.assertIn('"uri": "/pyx-missions/v1/missions"', payload)
        self.assertIn('mission-first-win', payload)

        # The filter keeps matching names only.
        search = self.css('input[aria-label="Filter events by name"]')[0]
        search.send_keys('series')
        eventually(lambda: set(self.event_names()) == {'OnJsonApiEvent_pyx-missions_v1_series'},
                   message=f'the filter left {self.event_names()}')
        search.clear()
        search.send_keys(' ')  # clear() sends no input event; a space and a backspace do
        search.send_keys('\b')

        # Paused, the list stands still and counts what arrives; resumed, it shows it.
        shown = len(eventually(self.event_names))
        self.css('button.pause')[0].click()
        self.host.call('POST', '/devhost/player-update', {'reason': 'paused'})
        pause = lambda: self.css('button.pause')[0]
        eventually(lambda: 'Resume (2 new)' in pause().text, message=f'pause shows "{pause().text}"')
        self.assertEqual(len(self.event_names()), shown)
        pause().click()
        eventually(lambda: len(self.event_names()) == shown + 2)

    def test_the_log_and_the_requests_of_the_plugin(self):
        self.host.held_missions(4)
        self.open('live')
        self.css('button[data-view="log"]')[0].click()
        lines = self.wait_for_css('ol.log li')
        levels = {line.get_attribute('data-level') for line in lines}
        self.assertIn('OKAY', levels)
        self.assertIn('ALWAYS', levels)
        self.css('input[name="level"][value="ALWAYS"]')[0].click()
        eventually(lambda: 'ALWAYS' not in {l.get_attribute('data-level') for l in self.css('ol.log li')},
                   message='the level filter kept ALWAYS lines')
        self.assertTrue(self.css('ol.log li.level-OKAY'))

        self.css('button[data-view="requests"]')[0].click()
        rows = self.wait_for_css('tr[data-url="/pyx-login/v1/session"]')
        cells = rows[0].find_elements('css selector', 'td')
        self.assertEqual((cells[1].text, cells[3].text), ('GET', '200'))
        self.assertTrue(self.css('tr[data-url="/pyx-login/v1/service-proxy-uuid-requests"]'))

    def test_logging_out_empties_the_missions_and_says_why(self):
        self.open('missions')
        self.wait_for_css('article.mission-card', count=4)
        self.show('world')
        self.wait_for_css('button.logout')[0].click()
        self.show('missions')
        account = self.wait_for_css('.empty-list li[data-condition-id="account"]')[0]
        self.assertEqual(self.css('article.mission-card'), [])
        self.assertEqual(account.get_attribute('data-met'), 'false')
        self.assertIn('Nobody is logged in', account.text)
        self.assertEqual(self.host.get('/pyx-missions/v1/missions'), [])

        # Its own control supplies it: the player logs in again and the missions come back.
        account.find_element('css selector', 'button.fix').click()
        self.wait_for_css('article.mission-card', count=4)
        self.assertEqual(self.css('.empty-list'), [])

    def test_the_event_stream_comes_back_after_a_restart_and_reads_everything_again(self):
        self.open('missions')
        self.wait_for_css('article.mission-card', count=4)
        connection = lambda: self.css('header .connection')[0].get_attribute('class')
        eventually(lambda: 'connection-open' in connection())

        port = self.host.port
        self.host.stop()
        eventually(lambda: 'connection-reconnecting' in connection(), message='no sign of the lost stream')

        with tempfile.NamedTemporaryFile('w', suffix='.yaml', delete=False) as scenario:
            scenario.write('remote:\n  missions:\n    - {id: mission-after-restart, title: Back again}\n')
        self.addCleanup(os.remove, scenario.name)
        self.host = DevHost(port=port, extra=('--scenario', scenario.name))
        self.addCleanup(self.host.stop)
        eventually(lambda: 'connection-open' in connection(), 20, 'the stream did not come back')
        eventually(lambda: list(self.mission_cards()) == ['mission-after-restart'], 10,
                   f'the missions were not read again: {list(self.mission_cards())}')


if __name__ == '__main__':
    main()
