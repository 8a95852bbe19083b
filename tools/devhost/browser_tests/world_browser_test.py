"""The console's world controls against the missions plugin: the remote service's missions edited
as JSON with clear errors, resources viewed, edited and deleted, the gameflow phase and the
condition it takes away. Every call the page makes that changes something is JSON to the host."""

import json

from console_browser import ConsoleTest, eventually, main
from selenium.common.exceptions import NoSuchElementException
from selenium.webdriver.support.ui import Select


class WorldPanelTest(ConsoleTest):

    def editor(self, kind):
        return self.wait_for_css(f'.remote-editor[data-kind="{kind}"]')[0]

    def save_mission_text(self, text):
        editor = self.editor('missions')
        self.type_into(editor.find_element('css selector', 'textarea'), text)
        editor.find_element('css selector', 'button[type="submit"]').click()

    def error_text(self):
        def shown():
            try:
                return self.editor('missions').find_element('css selector', 'small.error').text
            except NoSuchElementException:
                return None
        return eventually(shown, message='no error shown')

    def test_remote_missions_are_added_with_clear_errors_and_removed(self):
        self.host.held_missions(4)
        self.open('world')
        self.record_writes()
        self.editor('missions').find_element('css selector', 'button.add-item').click()
        textarea = self.wait_for_css('#remote-missions-json')[0]
        self.assertEqual(json.loads(textarea.get_attribute('value'))['id'], 'mission-new')

        refusals = [
            ('{"id": "x",\n  "title": }', 'Not JSON:'),
            ('{"title": "no id"}', 'An item needs a non-empty string "id"'),
            ('["mission"]', 'An item is a JSON object'),
            ('{"id": "mission-daily"}', 'Another item already has the id "mission-daily"'),
        ]
        for text, error in refusals:
            with self.subTest(text=text):
                self.save_mission_text(text)
                eventually(lambda: error in self.error_text(), message=f'"{self.error_text()}" for {text}')
                self.assertEqual(self.css('#remote-missions-json')[0].get_attribute('aria-invalid'), 'true')
        self.assertEqual(self.writes(), [], 'a refused item is never sent')

        added = {'id': 'mission-added', 'title': 'Added from the console', 'status': 'PENDING',
                 'missionType': 'ONETIME', 'seriesName': 'Starter_Series'}
        self.save_mission_text(json.dumps(added))
        eventually(lambda: self.css('.remote-editor[data-kind="missions"] li[data-item-id="mission-added"]'))
        self.assertIn('mission-added', [m['id'] for m in self.host.get('/devhost/remote')['template']['missions']])
        self.host.held_missions(5)

        self.show('missions')
        self.wait_for_css('article.mission-card[data-mission-id="mission-added"]')
        self.show('world')
        item = self.wait_for_css('.remote-editor[data-kind="missions"] li[data-item-id="mission-added"]')[0]
        [button for button in item.find_elements('css selector', 'button') if button.text == 'Remove'][0].click()
        self.host.held_missions(4)
        self.assert_writes_are_json_to_the_host(at_least=4)

    def test_a_resource_is_viewed_edited_with_a_clear_error_and_deleted(self):
        self.open('resources')
        self.record_writes()
        self.wait_for_css('button[data-path="/vaneclient/region-locale"]')[0].click()
        textarea = eventually(lambda: (lambda t: t if '"locale"' in t.get_attribute('value') else None)(
            self.css('#resource-json')[0]), message='the value was never shown')
        self.assertEqual(json.loads(textarea.get_attribute('value')), self.host.get('/devhost/resources/vaneclient/region-locale'))

        self.type_into(textarea, '{"locale": "fr_FR",')
        self.css('.resource-editor button[type="submit"]')[0].click()
        error = self.wait_for_css('.resource-editor small.error')[0].text
        self.assertIn('Not JSON', error)
        self.assertEqual(self.writes(), [])

        self.type_into(self.css('#resource-json')[0], '{"locale": "fr_FR", "region": "XX"}')
        self.css('.resource-editor button[type="submit"]')[0].click()
        eventually(lambda: self.host.get('/devhost/resources/vaneclient/region-locale') == {'locale': 'fr_FR', 'region': 'XX'},
                   message='the resource never changed')

        [b for b in self.css('.resource-editor button') if b.text == 'Delete'][0].click()
        eventually(lambda: not self.css('button[data-path="/vaneclient/region-locale"]'),
                   message='the deleted resource is still listed')
        self.assertNotIn('/vaneclient/region-locale', self.host.get('/devhost/resources'))
        self.assert_writes_are_json_to_the_host(at_least=2)
        self.assertEqual([w['method'] for w in self.writes()], ['PUT', 'DELETE'])

    def test_in_a_game_the_polling_condition_goes_missing_until_supplied(self):
        self.open('world')
        self.record_writes()
        Select(self.wait_for_css('select[name="phase"]')[0]).select_by_value('InProgress')
        eventually(lambda: self.host.get('/devhost/resources/pyx-gameflow/v1/session') == {'phase': 'InProgress'})
        self.show('conditions')
        condition = lambda: self.wait_for_css('li[data-condition-id="not-in-game"]')[0]
        eventually(lambda: condition().get_attribute('data-met') == 'false', message='still met in a game')
        self.assertIn('InProgress', condition().text)
        condition().find_element('css selector', 'button.fix').click()
        eventually(lambda: condition().get_attribute('data-met') == 'true', message='never met again')
        self.assertEqual(self.host.get('/devhost/resources/pyx-gameflow/v1/session'), {'phase': 'Lobby'})
        self.assert_writes_are_json_to_the_host(at_least=2)


if __name__ == '__main__':
    main()
