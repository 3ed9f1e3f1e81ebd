'''NetworkManager for the VPN tests: python-dbusmock's template, plus what a real daemon will not do
on demand: an agent manager that can be left out ({"AgentManager": false}), refused calls, VPN
connections whose states and reasons the test sends one by one, and a way to put the registered
secret agent's GetSecrets to the test as NetworkManager would.'''

import dbus

import dbusmock
from dbusmock import MOCK_IFACE
# Every mock method of the stock template must be a name of this module to be served.
from dbusmock.templates.networkmanager import *  # noqa: F401,F403 pylint: disable=wildcard-import,unused-wildcard-import
from dbusmock.templates import networkmanager as stock

AGENT_MANAGER_OBJ = '/org/freedesktop/NetworkManager/AgentManager'
AGENT_MANAGER_IFACE = 'org.freedesktop.NetworkManager.AgentManager'
VPN_IFACE = 'org.freedesktop.NetworkManager.VPN.Connection'
ACTIVE_STATE_FOR_VPN = {0: 1, 1: 1, 2: 1, 3: 1, 4: 1, 5: 2, 6: 4, 7: 4}

# method name -> list of (error name, message) for its next calls
refusals = {}


def refuse_if_asked(method):
    queued = refusals.get(method)
    if queued:
        name, message = queued.pop(0)
        raise dbus.exceptions.DBusException(message, name=name)


def load(mock, parameters):
    stock.load(mock, parameters)
    refusals.clear()

    manager = dbusmock.get_object(stock.MANAGER_OBJ)
    manager.vpn_activate = vpn_activate
    manager.AddMethod(stock.MANAGER_IFACE, 'ActivateConnection', 'ooo', 'o',
                      'ret = self.vpn_activate(self, args[0], args[1], args[2])')

    settings = dbusmock.get_object(stock.SETTINGS_OBJ)
    settings.vpn_add = vpn_add
    settings.vpn_list = vpn_list
    settings.AddMethod(stock.SETTINGS_IFACE, 'AddConnection', 'a{sa{sv}}', 'o', 'ret = self.vpn_add(self, args[0])')
    settings.AddMethod(stock.SETTINGS_IFACE, 'ListConnections', '', 'ao', 'ret = self.vpn_list(self)')
    # No bridges here: the kill switch's block is refused, as by a NetworkManager that cannot make one.
    settings.AddMethod(stock.SETTINGS_IFACE, 'AddConnection2', 'a{sa{sv}}ua{sv}', 'oa{sv}',
                       'raise dbus.exceptions.DBusException("No bridges in this mock", '
                       'name="org.freedesktop.NetworkManager.Settings.NotSupported")')

    if parameters.get('AgentManager', True):
        mock.AddObject(AGENT_MANAGER_OBJ, AGENT_MANAGER_IFACE, {}, [])
        agent_manager = dbusmock.get_object(AGENT_MANAGER_OBJ)
        agent_manager.agent_register = agent_register
        agent_manager.AddMethod(AGENT_MANAGER_IFACE, 'RegisterWithCapabilities', 'su', '',
                                'self.agent_register(self)')


def agent_register(_self):
    refuse_if_asked('RegisterWithCapabilities')


def vpn_list(self):
    refuse_if_asked('ListConnections')
    return self.Get(stock.SETTINGS_IFACE, 'Connections')


def vpn_add(self, settings):
    refuse_if_asked('AddConnection')
    path = self.SettingsAddConnection(settings)
    connection = dbusmock.get_object(path)
    connection.vpn_update = vpn_update
    connection.vpn_delete = vpn_delete
    connection.AddMethod(stock.CSETTINGS_IFACE, 'Update', 'a{sa{sv}}', '', 'self.vpn_update(self, args[0])')
    connection.AddMethod(stock.CSETTINGS_IFACE, 'Delete', '', '', 'self.vpn_delete(self)')
    return path


def vpn_update(self, settings):
    refuse_if_asked('Update')
    # NetworkManager replaces the whole profile.
    self.settings = settings
    self.EmitSignal(stock.CSETTINGS_IFACE, 'Updated', '', [])


def vpn_delete(self):
    refuse_if_asked('Delete')
    self.ConnectionDelete(self)


def vpn_activate(self, connection, device, specific_object):
    refuse_if_asked('ActivateConnection')
    if connection not in dbusmock.get_object(stock.SETTINGS_OBJ).Get(stock.SETTINGS_IFACE, 'Connections'):
        raise dbus.exceptions.DBusException(f'Connection {connection} does not exist',
                                            name='org.freedesktop.NetworkManager.UnknownConnection')
    profile = dbusmock.get_object(connection).settings['connection']
    active = self.Get(stock.MANAGER_IFACE, 'ActiveConnections')
    count = 0
    while dbus.ObjectPath(f'/org/freedesktop/NetworkManager/ActiveConnection/{count}') in active:
        count += 1
    path = f'/org/freedesktop/NetworkManager/ActiveConnection/{count}'
    self.AddObject(path, stock.ACTIVE_CONNECTION_IFACE, {
        'Connection': dbus.ObjectPath(connection),
        'SpecificObject': dbus.ObjectPath(specific_object),
        'Devices': dbus.Array([], signature='o'),
        'Id': profile['id'],
        'Uuid': profile['uuid'],
        'Type': profile['type'],
        'State': dbus.UInt32(1),
        'Vpn': True,
        'Default': False,
        'Default6': False,
        'Master': dbus.ObjectPath('/'),
    }, [])
    dbusmock.get_object(path).AddProperties(VPN_IFACE, {'VpnState': dbus.UInt32(1), 'Banner': ''})
    self.object_manager_emit_added(path)
    active.append(dbus.ObjectPath(path))
    self.SetProperty(stock.MANAGER_OBJ, stock.MANAGER_IFACE, 'ActiveConnections', active)
    return path


@dbus.service.method(MOCK_IFACE, in_signature='sss', out_signature='')
def Refuse(_self, method, name, message):
    '''The next call of method (AddConnection, Update, Delete, ListConnections, ActivateConnection,
    RegisterWithCapabilities) fails with the D-Bus error name and message.'''
    refusals.setdefault(method, []).append((name, message))


@dbus.service.method(MOCK_IFACE, in_signature='ouu', out_signature='')
def SetVpnState(self, path, state, reason):
    '''Sends VpnStateChanged(state, reason) for an active VPN connection; the active connection's
    own state follows as NetworkManager's does, and a failed or disconnected one goes away.'''
    connection = dbusmock.get_object(path)
    connection.Set(VPN_IFACE, 'VpnState', dbus.UInt32(state))
    connection.EmitSignal(VPN_IFACE, 'VpnStateChanged', 'uu', [dbus.UInt32(state), dbus.UInt32(reason)])
    if ACTIVE_STATE_FOR_VPN[int(state)] != connection.Get(stock.ACTIVE_CONNECTION_IFACE, 'State'):
        self.SetActiveState(path, ACTIVE_STATE_FOR_VPN[int(state)], reason)
    if int(state) in (6, 7):
        manager = dbusmock.get_object(stock.MANAGER_OBJ)
        active = manager.Get(stock.MANAGER_IFACE, 'ActiveConnections')
        active.remove(dbus.ObjectPath(path))
        self.SetProperty(stock.MANAGER_OBJ, stock.MANAGER_IFACE, 'ActiveConnections', active)
        self.object_manager_emit_removed(path)
        self.RemoveObject(path)


@dbus.service.method(MOCK_IFACE, in_signature='ouu', out_signature='')
def SetActiveState(_self, path, state, reason):
    '''Sends the active connection's StateChanged(state, reason).'''
    connection = dbusmock.get_object(path)
    connection.Set(stock.ACTIVE_CONNECTION_IFACE, 'State', dbus.UInt32(state))
    connection.EmitSignal(stock.ACTIVE_CONNECTION_IFACE, 'StateChanged', 'uu', [dbus.UInt32(state), dbus.UInt32(reason)])


@dbus.service.method(MOCK_IFACE, in_signature='sa{sa{sv}}', out_signature='a{sa{sv}}',
                     async_callbacks=('reply', 'error'))
def AskSecrets(self, agent, settings, reply, error):
    '''Asks the secret agent at bus name agent for the VPN secrets of settings, as NetworkManager
    does when it activates the profile, and hands back its answer or its error.'''
    self.connection.call_async(agent, '/org/freedesktop/NetworkManager/SecretAgent',
                               'org.freedesktop.NetworkManager.SecretAgent', 'GetSecrets', 'a{sa{sv}}osasu',
                               (settings, dbus.ObjectPath('/org/freedesktop/NetworkManager/Settings/0'), 'vpn',
                                dbus.Array([], signature='s'), dbus.UInt32(4)),
                               reply, error)
