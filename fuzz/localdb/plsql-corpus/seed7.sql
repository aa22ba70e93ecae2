package pk is
  cnt number := 0;
  procedure inc(by_ number default 1);
  function get return number;
end pk;