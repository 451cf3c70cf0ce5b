# The MPRIS side of mediaremote-adapter.pl.
#
# Which player is "now playing": the first playing one (by bus name). When none plays, the player
# that this adapter itself paused last, as long as it is still there and paused, so that the
# toggle that resumes finds the player that the toggle before it paused; players paused by the
# user are never reported then. That player's name is kept in
# $XDG_RUNTIME_DIR/parlune/now-playing-paused-player (or under $XDG_CACHE_HOME, ~/.cache).
#
# Every D-Bus call has a one-second timeout; the players are asked all at once, so a player that
# never answers costs one second, not one second each.
package MediaRemoteAdapter;

use strict;
use warnings;
use Fcntl qw(O_WRONLY O_CREAT O_TRUNC O_NOFOLLOW);
use File::Basename qw(dirname);
use JSON::PP ();
use Net::DBus::Binding::Bus;
use Net::DBus::Binding::Message;
use Net::DBus::Binding::Message::MethodCall;

my $TIMEOUT_MS = 1000;
my $PLAYER_PREFIX = 'org.mpris.MediaPlayer2.';
my $PLAYER_NAME = qr/^org\.mpris\.MediaPlayer2\.[A-Za-z0-9_.\-]+$/;
my $OBJECT_PATH = '/org/mpris/MediaPlayer2';
my $PLAYER_INTERFACE = 'org.mpris.MediaPlayer2.Player';
my $PLAY_PAUSE = 2;

sub run {
    my ($command, @arguments) = @_;
    return get() if $command eq 'get' && !@arguments;
    return send_command($arguments[0]) if $command eq 'send' && @arguments == 1 && $arguments[0] =~ /^[0-9]+$/;
    print STDERR "unknown command: @_\n";
    return 2;
}

sub get {
    my $bus = connect_bus() or return 1;
    my $player = now_playing(players($bus));
    my %answer = (playbackRate => 0);
    if ($player) {
        $answer{playbackRate} = $player->{status} eq 'Playing' ? 1 : 0;
        $answer{player} = $player->{name};
        $answer{playbackStatus} = $player->{status};
    }
    print JSON::PP->new->canonical->encode(\%answer), "\n";
    return 0;
}

sub send_command {
    my ($number) = @_;
    if ($number != $PLAY_PAUSE) {
        print STDERR "unsupported media command $number (only $PLAY_PAUSE, play/pause)\n";
        return 2;
    }
    my $bus = connect_bus() or return 1;
    my $player = now_playing(players($bus));
    unless ($player) {
        print STDERR "no MPRIS player to toggle\n";
        return 1;
    }
    my ($reply) = call_all($bus, [$player->{name}, $OBJECT_PATH, $PLAYER_INTERFACE, 'PlayPause']);
    unless ($reply->{ok}) {
        print STDERR "$player->{name} did not toggle: $reply->{error}\n";
        return 1;
    }
    if ($player->{status} eq 'Playing') {
        remember($player->{name});
    } else {
        forget();
    }
    return 0;
}

sub connect_bus {
    my $bus = eval { Net::DBus::Binding::Bus->new(type => &Net::DBus::Binding::Bus::SESSION, private => 1) };
    return $bus if $bus;
    my $error = "$@";
    $error =~ s/\s+\z//;
    print STDERR "cannot reach the session bus: $error\n";
    return undef;
}

# Sends every call at once, then collects the answers in order: {ok => 1, values => [...]} or
# {ok => 0, error => "..."}. Each call is [destination, path, interface, method, string arguments].
sub call_all {
    my ($bus, @calls) = @_;
    my @pending;
    for my $call (@calls) {
        my ($destination, $path, $interface, $method, @arguments) = @$call;
        my $message = Net::DBus::Binding::Message::MethodCall->new(
            service_name => $destination, object_path => $path, interface => $interface, method_name => $method);
        my $iterator = $message->iterator(1);
        $iterator->append_string($_) for @arguments;
        push @pending, scalar eval { $bus->send_with_reply($message, $TIMEOUT_MS) };
    }
    my @answers;
    for my $call (@pending) {
        my $reply = $call ? eval { $call->block; $call->get_reply } : undef;
        if (!$reply) {
            my $error = "$@";
            $error =~ s/\s+\z//;
            push @answers, {ok => 0, error => $error || 'no reply'};
        } elsif ($reply->get_type == &Net::DBus::Binding::Message::MESSAGE_TYPE_ERROR) {
            my ($text) = eval { $reply->get_args_list };
            push @answers, {ok => 0, error => $reply->get_error_name . (defined $text && !ref $text ? ": $text" : '')};
        } else {
            push @answers, {ok => 1, values => [eval { $reply->get_args_list }]};
        }
    }
    return @answers;
}

# The MPRIS players on the bus, by name, each with its PlaybackStatus ('' when unreadable).
sub players {
    my ($bus) = @_;
    my ($names) = call_all($bus, ['org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus', 'ListNames']);
    return () unless $names->{ok} && ref $names->{values}[0] eq 'ARRAY';
    my @names = sort grep { !ref $_ && index($_, $PLAYER_PREFIX) == 0 } @{$names->{values}[0]};
    my @statuses = call_all($bus,
        map { [$_, $OBJECT_PATH, 'org.freedesktop.DBus.Properties', 'Get', $PLAYER_INTERFACE, 'PlaybackStatus'] } @names);
    my @players;
    for my $index (0 .. $#names) {
        my $answer = $statuses[$index];
        my $status = $answer->{ok} ? $answer->{values}[0] : undef;
        push @players, {name => $names[$index], status => (defined $status && !ref $status) ? $status : ''};
    }
    return @players;
}

sub now_playing {
    my @players = @_;
    my ($playing) = grep { $_->{status} eq 'Playing' } @players;
    return $playing if $playing;
    my $remembered = remembered();
    return undef unless defined $remembered;
    my ($paused) = grep { $_->{name} eq $remembered && $_->{status} eq 'Paused' } @players;
    return $paused;
}

sub memory_file {
    my $base = $ENV{XDG_RUNTIME_DIR};
    unless (defined $base && $base =~ m{^/} && -d $base) {
        $base = $ENV{XDG_CACHE_HOME};
        $base = (defined $ENV{HOME} ? $ENV{HOME} : '') . '/.cache' unless defined $base && $base =~ m{^/};
    }
    return undef unless $base =~ m{^/};
    return "$base/parlune/now-playing-paused-player";
}

sub remembered {
    my $file = memory_file();
    return undef unless defined $file && open(my $handle, '<', $file);
    my $name = <$handle>;
    close $handle;
    return undef unless defined $name;
    chomp $name;
    return $name =~ $PLAYER_NAME ? $name : undef;
}

sub remember {
    my ($name) = @_;
    my $file = memory_file();
    return unless defined $file && $name =~ $PLAYER_NAME;
    my $folder = dirname($file);
    mkdir $folder, 0700 unless -d $folder;
    my $partial = "$file.$$";
    if (sysopen(my $handle, $partial, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600)) {
        print $handle "$name\n";
        close $handle;
        rename $partial, $file or unlink $partial;
    }
}

sub forget {
    my $file = memory_file();
    unlink $file if defined $file;
}

1;
