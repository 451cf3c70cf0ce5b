#!/usr/bin/perl
# Parlune's now-playing adapter for the Linux desktop, over MPRIS (org.mpris.MediaPlayer2.* on the
# D-Bus session bus).
#
#   mediaremote-adapter.pl FRAMEWORK get
#       Prints one JSON object. "playbackRate" is 1 when an MPRIS player is playing and 0 when
#       none is; "player" and "playbackStatus" name the player it reports, if any.
#   mediaremote-adapter.pl FRAMEWORK send 2
#       Toggles play/pause on the player that `get` reports.
#
# FRAMEWORK is the MediaRemoteAdapter.framework folder shipped beside this script; it holds the
# MPRIS code (MediaRemoteAdapter.pm), which needs Net::DBus (Debian package libnet-dbus-perl).
# Exit status: 0 done, 1 the session bus or the player failed, 2 a wrong command line.
use strict;
use warnings;
use File::Spec;

my ($framework, @command) = @ARGV;
unless (defined $framework && @command) {
    print STDERR "usage: mediaremote-adapter.pl FRAMEWORK get | mediaremote-adapter.pl FRAMEWORK send COMMAND\n";
    exit 2;
}
my $module = File::Spec->rel2abs(File::Spec->catfile($framework, 'MediaRemoteAdapter.pm'));
unless (-f $module) {
    print STDERR "not a MediaRemoteAdapter.framework folder: $framework\n";
    exit 2;
}
unless (eval { require $module; 1 }) {
    my ($reason) = split /\n/, "$@";  # one line: the caller logs it as one
    $reason =~ s/ \(\@INC contains:.*?\)//;
    print STDERR "cannot load $module (it needs Net::DBus, Debian package libnet-dbus-perl): $reason\n";
    exit 1;
}
exit MediaRemoteAdapter::run(@command);
