# SPDX-License-Identifier: GPL-3.0-or-later
'''A desktop portal offering only the global-shortcuts interface, as a python3-dbusmock template.

Parameters (JSON, -p): "version" (the interface's version; 0 leaves the interface's property out, as a
portal without it), "create" and "bind" (the Response codes of CreateSession and BindShortcuts: 0 done,
1 cancelled, 2 failed, -1 no answer), "trigger" (the keys the desktop reports as bound, as if the user chose them),
"early" (answer before the method's reply, as a portal may that shows no dialog), "list" (answer the bind
without the list of bound shortcuts, which ListShortcuts gives, as KDE's dialog does), "omit" (bind none).
The test reads what was asked with Mock.Recorded and presses the keys with Mock.Activate.
'''

import dbus
import dbus.lowlevel
from gi.repository import GLib

from dbusmock import MOCK_IFACE

SYSTEM_BUS = False
BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.GlobalShortcuts'
REQUEST_IFACE = 'org.freedesktop.portal.Request'


def load(mock, parameters):
    mock.parameters = parameters
    mock.session = ''
    mock.recorded = []
    version = parameters.get('version', 1)
    if version:
        mock.AddProperty(MAIN_IFACE, 'version', dbus.UInt32(version))


def handle(sender, kind, token):
    return '%s/%s/%s/%s' % (MAIN_OBJ, kind, sender[1:].replace('.', '_'), token)


def respond(mock, path, code, results):
    '''Answers on the request's path, after the method's reply unless "early"; a negative code never.'''
    if code < 0:
        return
    def emit():
        message = dbus.lowlevel.SignalMessage(path, REQUEST_IFACE, 'Response')
        message.append(dbus.UInt32(code), dbus.Dictionary(results, signature='sv'), signature='ua{sv}')
        mock.connection.send_message(message)
        return False
    if mock.parameters.get('early', False):
        emit()
    else:
        GLib.idle_add(emit)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o', sender_keyword='sender')
def CreateSession(self, options, sender=None):
    self.session = handle(sender, 'session', options['session_handle_token'])
    self.recorded.append('CreateSession')
    path = handle(sender, 'request', options['handle_token'])
    respond(self, path, self.parameters.get('create', 0), {'session_handle': dbus.String(self.session)})
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='oa(sa{sv})sa{sv}', out_signature='o', sender_keyword='sender')
def BindShortcuts(self, session, shortcuts, _parent, options, sender=None):
    self.bound = []
    for shortcut_id, properties in shortcuts:
        self.recorded.append('BindShortcuts %s %s %s %s' % (
            'session' if session == self.session else session, shortcut_id,
            properties.get('preferred_trigger', ''), properties.get('description', '')))
        if not self.parameters.get('omit', False):
            self.bound.append((shortcut_id, {'description': properties.get('description', ''),
                                             'trigger_description': self.parameters.get('trigger', '')}))
    path = handle(sender, 'request', options['handle_token'])
    results = {} if self.parameters.get('list', False) else {'shortcuts': dbus.Array(self.bound, signature='(sa{sv})')}
    respond(self, path, self.parameters.get('bind', 0), results)
    return dbus.ObjectPath(path)


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o', sender_keyword='sender')
def ListShortcuts(self, session, options, sender=None):
    self.recorded.append('ListShortcuts %s' % ('session' if session == self.session else session))
    path = handle(sender, 'request', options['handle_token'])
    respond(self, path, 0, {'shortcuts': dbus.Array(self.bound, signature='(sa{sv})')})
    return dbus.ObjectPath(path)


@dbus.service.method(MOCK_IFACE, out_signature='as')
def Recorded(self):
    return self.recorded


@dbus.service.method(MOCK_IFACE, in_signature='s')
def Activate(self, shortcut_id):
    self.EmitSignal(MAIN_IFACE, 'Activated', 'osta{sv}',
                    [dbus.ObjectPath(self.session), shortcut_id, dbus.UInt64(0), dbus.Dictionary({}, signature='sv')])
