package body pk is
  procedure inc(by_ number default 1) is begin cnt := cnt + by_; end;
  function get return number is begin return cnt; end;
end;