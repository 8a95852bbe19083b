"""The console's API panel: the host's OpenAPI description in the bundled API browser, listing
the plugin's routes, with "try it out" answered by the running host."""

from console_browser import ConsoleTest, eventually, main


class ApiPanelTest(ConsoleTest):

    def operations(self):
        """(method, path) of every operation the API browser shows."""
        listed = []
        for block in self.css('#swagger-host .opblock'):
            method = block.find_elements('css selector', '.opblock-summary-method')
            path = block.find_elements('css selector', '.opblock-summary-path')
            if method and path:
                listed.append((method[0].text.upper(), path[0].get_attribute('data-path')))
        return listed

    def test_the_api_panel_lists_the_plugins_routes_and_tries_the_missions_route(self):
        self.host.held_missions(4)
        self.open('api')
        eventually(lambda: self.browser.find_element('id', 'swagger-host').is_displayed(), 20,
                   'the API browser never showed')
        listed = eventually(lambda: self.operations() if len(self.operations()) > 10 else None, 20,
                            'the API browser listed no operations')
        for route in self.host.get('/devhost/routes'):
            self.assertIn((route['method'], route['url']), listed)
        self.assertIn(('GET', '/devhost/conditions'), listed)

        block = next(b for b in self.css('#swagger-host .opblock-get')
                     if b.find_element('css selector', '.opblock-summary-path').get_attribute('data-path')
                     == '/pyx-missions/v1/missions')
        self.browser.execute_script('arguments[0].scrollIntoView({block: "center"})', block)
        block.find_element('css selector', '.opblock-summary').click()
        eventually(lambda: block.find_elements('css selector', '.try-out__btn'))[0].click()
        eventually(lambda: block.find_elements('css selector', 'button.execute'))[0].click()
        status = eventually(lambda: block.find_elements('css selector', '.live-responses-table tr.response .response-col_status'),
                            15, 'no answer to "try it out"')
        self.assertEqual(status[0].text.split()[0], '200')
        body = block.find_element('css selector', '.live-responses-table tr.response .response-col_description').text
        self.assertIn('mission-first-win', body)
        # Nothing came from anywhere but the host.
        origins = self.browser.execute_script(
            "return performance.getEntriesByType('resource').map(e => new URL(e.name).origin)")
        self.assertEqual(set(origins), {self.host.url})

    def test_without_a_description_the_panel_says_it_is_not_available(self):
        # A devhost without the description answers 404; the page's own request for it is
        # answered so here, everything else still reaching the host.
        self.browser.get(self.host.url + '/#missions')
        self.wait_for_css('article.mission-card')
        self.browser.execute_script("""
            const original = window.fetch;
            window.fetch = (url, init) => String(url).endsWith('/devhost/openapi.json')
                ? Promise.resolve(new Response('{"error":"none"}', {status: 404}))
                : original(url, init);""")
        self.show('api')
        notice = self.wait_for_css('.api-absent')[0]
        self.assertIn('Not available', notice.text)
        self.assertFalse(self.browser.find_element('id', 'swagger-host').is_displayed())


if __name__ == '__main__':
    main()
